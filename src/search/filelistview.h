#pragma once

// FileListView (filList): the files of one directory whose names match the file pattern,
// in name order, several selectable. A double click asks for the file to be played; a drag
// carries the selected files as a file list (text/uri-list).
//
// Threading: GUI thread only.

#include "search/filepattern.h"

#include <QListWidget>

namespace volaro::search {

class FileListView : public QListWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

    QString Path() const { return m_path; }
    void setPath(const QString& dir);
    // Applies a pattern; false (the old one stays) when the text is no pattern.
    bool setPattern(const QString& text);
    QString pattern() const { return m_pattern.pattern(); }
    void refresh();

    int fileCount() const { return m_names.size(); }
    QString fileName(int i) const { return m_names.value(i); }
    // The directory joined with the name of file i.
    QString filePath(int i) const;
    // Full paths of the selected files, in list order.
    QStringList selectedPaths() const;
    // The drag data for the selected files (nullptr when none is selected).
    QMimeData* createDragData() const;

signals:
    void fileDoubleClicked(const QString& path);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;

private:
    QString m_path;
    FilePattern m_pattern;
    QStringList m_names;
};

} // namespace volaro::search
