#pragma once

// DirListView (dirList): the directory list of the search window. It shows the chain of
// directories from the root down to the current (open) directory, then the subdirectories
// of the current one, indented by depth. One entry is highlighted (the keyboard and single
// clicks move it); a double click opens it, making it the current directory. Leaving the
// list opens the highlighted entry too. Return is left to the window (its default button).
//
// Threading: GUI thread only.

#include <QListWidget>
#include <QString>
#include <QStringList>

namespace volaro::search {

class DirListView : public QListWidget {
    Q_OBJECT
public:
    explicit DirListView(QWidget* parent = nullptr);

    QString Path() const { return m_path; }
    // Opens dir; false (and nothing changes) when it is not a readable directory.
    bool setPath(const QString& dir);
    // Re-reads the current directory.
    void refresh();

    int subdirectoryCount() const { return m_subdirs.size(); }
    // Full path of subdirectory i (0-based, in name order).
    QString subdirectory(int i) const;

    // The full path of the highlighted entry (the current directory when none is).
    QString highlightedPath() const;
    void highlight(const QString& path);

signals:
    // The current directory changed (dirList_Change).
    void pathChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void rebuild();

    QString m_path;
    QStringList m_subdirs; // names
};

} // namespace volaro::search
