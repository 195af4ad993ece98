#pragma once

// ClipListView: the report-view list of song records used by the playlist (lstClipList)
// and by the search window's result list. The rows and their selection live in
// ClipListModel; this widget draws them, turns pointer and keys into selection changes,
// and does the drag-and-drop plumbing.
//
// Events the owning window handles arrive as signals: itemDblClick (double click),
// enterPressed (key 13), rightButtonReleased (pop-up menu), columnClick (header number
// 1..10), filesDropped (file urls dropped, with the 1-based position to insert at or 0
// for the end). Rows dragged out carry the Locations of the selected rows as file urls.
//
// Threading: GUI thread only.

#include "playlist/cliplistmodel.h"

#include <QStringList>
#include <QTreeView>

namespace volaro::playlist {

class ClipListView : public QTreeView {
    Q_OBJECT
public:
    explicit ClipListView(QWidget* parent = nullptr);

    ClipListModel& clipModel() { return *m_model; }
    const ClipListModel& clipModel() const { return *m_model; }

    // The ten song-record columns: header texts, Tags "11000".."11009", widths from twips.
    void setupColumns();

    // The row with the focus when it is selected, else the first selected row; 0 if none.
    int SelectedItem() const;
    // Gives row index the focus and selects it (only it, when multi-selection is off).
    void setSelectedItem(int index);
    bool MultiSelect() const { return m_multiSelect; }
    void setMultiSelect(bool on);

    void EnsureVisible(int index);
    // The 1-based row at a point of the viewport, 0 when none.
    int HitTest(const QPoint& viewportPos) const;

    // Accepting drops: the playlist accepts file drops, a result list only drags out.
    void setAcceptFileDrops(bool on);

    // The drag data for the selected rows (nullptr when none is selected).
    QMimeData* createDragData() const;
    // Paths of the local files a drop carries (empty when it carries no file list).
    static QStringList droppedPaths(const QMimeData* data);

signals:
    void itemDblClick();
    void enterPressed();
    void rightButtonReleased(const QPoint& globalPos);
    void columnClick(int header);
    void filesDropped(const QStringList& paths, int insertPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    // Drop handling without a drag session, used by dropEvent (and tests): the hover
    // selection rules for a pointer at pos, and the drop itself.
    void dragOverAt(const QPoint& viewportPos);
    bool dropAt(const QMimeData* data, const QPoint& viewportPos);

private:
    void selectOnly(int index);
    void setFocusRow(int index);
    int focusRow() const;

    ClipListModel* m_model;
    bool m_multiSelect = true;
    int m_anchor = 0;
    QPoint m_pressPos;
    bool m_dragArmed = false;
};

} // namespace volaro::playlist
