#include "playlist/cliplistview.h"

#include "base/filename.h"
#include "base/twips.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace volaro::playlist {

using base::twipsToPixels;

namespace {

// Draws the selection from the model's flags (Qt's own selection model is not used).
class ClipRowDelegate : public QStyledItemDelegate {
public:
    ClipRowDelegate(const ClipListModel* model, ClipListView* view)
        : QStyledItemDelegate(view)
        , m_model(model) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const int row = index.row() + 1;
        if (m_model->isSelected(row))
            option->state |= QStyle::State_Selected;
        else
            option->state &= ~QStyle::State_Selected;
    }

private:
    const ClipListModel* m_model;
};

// Column widths in twips; 0 leaves the view's default width.
constexpr int ColumnTwips[ClipListModel::ColumnCount] = {2500, 700,  1200, 1900, 300,
                                                         1600, 1900, 0,    0,    0};

} // namespace

ClipListView::ClipListView(QWidget* parent)
    : QTreeView(parent)
    , m_model(new ClipListModel(this)) {
    setModel(m_model);
    setItemDelegate(new ClipRowDelegate(m_model, this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int logical) { emit columnClick(logical + 1); });
    connect(m_model, &ClipListModel::selectionFlagsChanged, viewport(),
            qOverload<>(&QWidget::update));
}

void ClipListView::setupColumns() {
    QHeaderView* h = header();
    h->setStretchLastSection(false);
    h->setMinimumSectionSize(8); // the Year column is only 20 px wide
    for (int c = 0; c < ClipListModel::ColumnCount; ++c) {
        if (ColumnTwips[c] > 0)
            h->resizeSection(c, twipsToPixels(ColumnTwips[c]));
        else
            h->resizeSection(c, h->defaultSectionSize());
    }
}

int ClipListView::focusRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void ClipListView::setFocusRow(int index) {
    if (index < 1 || index > m_model->count())
        return;
    selectionModel()->setCurrentIndex(m_model->index(index - 1, 0), QItemSelectionModel::NoUpdate);
}

int ClipListView::SelectedItem() const {
    const int focus = focusRow();
    if (focus && m_model->isSelected(focus))
        return focus;
    for (int i = 1; i <= m_model->count(); ++i)
        if (m_model->isSelected(i))
            return i;
    return 0;
}

void ClipListView::selectOnly(int index) {
    m_model->setAllSelected(false);
    m_model->setSelected(index, true);
}

void ClipListView::setSelectedItem(int index) {
    if (index < 1 || index > m_model->count())
        return;
    if (m_multiSelect)
        m_model->setSelected(index, true);
    else
        selectOnly(index);
    setFocusRow(index);
    m_anchor = index;
}

void ClipListView::setMultiSelect(bool on) {
    m_multiSelect = on;
    if (!on && m_model->selectedCount() > 1) {
        const int keep = SelectedItem();
        selectOnly(keep);
    }
}

void ClipListView::EnsureVisible(int index) {
    if (index >= 1 && index <= m_model->count())
        scrollTo(m_model->index(index - 1, 0), QAbstractItemView::EnsureVisible);
}

int ClipListView::HitTest(const QPoint& viewportPos) const {
    const QModelIndex at = indexAt(viewportPos);
    return at.isValid() ? at.row() + 1 : 0;
}

void ClipListView::setAcceptFileDrops(bool on) {
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    setDragDropMode(on ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
    setDropIndicatorShown(false);
}

QMimeData* ClipListView::createDragData() const {
    const QList<QUrl> urls = m_model->selectedUrls();
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QStringList ClipListView::droppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (const QString path = base::localPathOf(url); !path.isEmpty())
            paths.append(path);
    return paths;
}

// ---- pointer and keys ------------------------------------------------------------------

void ClipListView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int row = HitTest(pos);
    m_dragArmed = false;
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (row == 0) {
            if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier)))
                m_model->setAllSelected(false);
        } else if (m_multiSelect && (mods & Qt::ShiftModifier) && m_anchor) {
            if (!(mods & Qt::ControlModifier))
                m_model->setAllSelected(false);
            for (int i = std::min(m_anchor, row); i <= std::max(m_anchor, row); ++i)
                m_model->setSelected(i, true);
            setFocusRow(row);
        } else if (m_multiSelect && (mods & Qt::ControlModifier) &&
                   event->button() == Qt::LeftButton) {
            m_model->setSelected(row, !m_model->isSelected(row));
            setFocusRow(row);
            m_anchor = row;
        } else if (m_model->isSelected(row) && event->button() == Qt::LeftButton) {
            // Pressing on a selected row may start a drag of the whole selection; a plain
            // click without moving narrows the selection on release.
            m_dragArmed = true;
            m_pressPos = pos;
            setFocusRow(row);
            m_anchor = row;
        } else if (!m_model->isSelected(row)) {
            selectOnly(row);
            setFocusRow(row);
            m_anchor = row;
            if (event->button() == Qt::LeftButton) {
                m_dragArmed = true;
                m_pressPos = pos;
            }
        } else {
            setFocusRow(row);
        }
    }
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ClipListView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragArmed && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >=
            QApplication::startDragDistance()) {
        m_dragArmed = false;
        startDrag(Qt::CopyAction);
    }
    event->accept();
}

void ClipListView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_dragArmed &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
        const int row = HitTest(pos);
        if (row)
            selectOnly(row);
    }
    m_dragArmed = false;
    if (event->button() == Qt::RightButton)
        emit rightButtonReleased(viewport()->mapToGlobal(pos));
    event->accept();
}

void ClipListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit itemDblClick();
    event->accept();
}

void ClipListView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        emit enterPressed();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        if (m_multiSelect)
            m_model->setAllSelected(true);
        event->accept();
        return;
    }
    const int count = m_model->count();
    const int focus = focusRow();
    int target = 0;
    const int page = std::max(1, viewport()->height() / std::max(1, sizeHintForRow(0)) - 1);
    switch (key) {
    case Qt::Key_Up:
        target = std::max(1, focus - 1);
        break;
    case Qt::Key_Down:
        target = focus ? std::min(count, focus + 1) : 1;
        break;
    case Qt::Key_Home:
        target = 1;
        break;
    case Qt::Key_End:
        target = count;
        break;
    case Qt::Key_PageUp:
        target = std::max(1, focus - page);
        break;
    case Qt::Key_PageDown:
        target = std::min(count, focus + page);
        break;
    case Qt::Key_Space:
        if (focus && m_multiSelect && (event->modifiers() & Qt::ControlModifier))
            m_model->setSelected(focus, !m_model->isSelected(focus));
        else if (focus)
            m_model->setSelected(focus, true);
        event->accept();
        return;
    default:
        QTreeView::keyPressEvent(event);
        return;
    }
    if (count == 0 || target < 1) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (m_multiSelect && (mods & Qt::ShiftModifier) && m_anchor) {
        m_model->setAllSelected(false);
        for (int i = std::min(m_anchor, target); i <= std::max(m_anchor, target); ++i)
            m_model->setSelected(i, true);
    } else if (!(m_multiSelect && (mods & Qt::ControlModifier))) {
        selectOnly(target);
        m_anchor = target;
    }
    setFocusRow(target);
    EnsureVisible(target);
    event->accept();
}

// ---- drag and drop ---------------------------------------------------------------------

void ClipListView::startDrag(Qt::DropActions) {
    QMimeData* data = createDragData();
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // Copy only: the files themselves are never moved by a drag out of the list.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void ClipListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ClipListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    dragOverAt(event->position().toPoint());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ClipListView::dragLeaveEvent(QDragLeaveEvent* event) {
    event->accept();
}

void ClipListView::dropEvent(QDropEvent* event) {
    if (dropAt(event->mimeData(), event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ClipListView::dragOverAt(const QPoint& viewportPos) {
    if (m_model->count() == 0)
        return;
    // Near the top or bottom edge the list scrolls, so a drop can reach any row.
    const int edge = std::max(6, sizeHintForRow(0) / 2);
    if (viewportPos.y() < edge)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (viewportPos.y() > viewport()->height() - edge)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const int row = HitTest(viewportPos);
    if (row) {
        // The row under the pointer becomes the only selected one.
        const bool multi = m_multiSelect;
        setMultiSelect(false);
        setSelectedItem(row);
        setMultiSelect(multi);
    } else {
        const int selected = SelectedItem();
        if (selected)
            m_model->setSelected(selected, false);
    }
}

bool ClipListView::dropAt(const QMimeData* data, const QPoint& viewportPos) {
    const QStringList paths = droppedPaths(data);
    if (paths.isEmpty())
        return false;
    int position = m_model->count() + 1;
    if (m_model->count() > 0) {
        const int row = HitTest(viewportPos);
        if (row)
            position = row;
    }
    emit filesDropped(paths, position);
    return true;
}

} // namespace volaro::playlist
