#include "search/dirlistview.h"

#include "base/filename.h"
#include "search/dirlisting.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace volaro::search {

namespace {

constexpr int PathRole = Qt::UserRole + 1;
constexpr int DepthRole = Qt::UserRole + 2;
constexpr int IndentPx = 12;

class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        o.rect.setLeft(o.rect.left() + index.data(DepthRole).toInt() * IndentPx);
        QStyledItemDelegate::paint(p, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += index.data(DepthRole).toInt() * IndentPx;
        return s;
    }
};

} // namespace

DirListView::DirListView(QWidget* parent)
    : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setPath(item->data(PathRole).toString()); });
}

bool DirListView::setPath(const QString& dir) {
    const QString d = DirListing::normalize(dir);
    if (d.isEmpty() || !DirListing::isReadableDirectory(d))
        return false;
    const bool changed = d != m_path;
    m_path = d;
    rebuild();
    if (changed)
        emit pathChanged(m_path);
    return true;
}

void DirListView::refresh() {
    if (!m_path.isEmpty())
        rebuild();
}

void DirListView::rebuild() {
    clear();
    DirListing::subdirectories(m_path, m_subdirs);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the root to the current directory.
    QStringList parts = m_path.split(u'/', Qt::SkipEmptyParts);
    QString path = QStringLiteral("/");
    auto add = [&](const QString& text, const QString& full, int depth, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, base::readableName(text), this);
        item->setData(PathRole, full);
        item->setData(DepthRole, depth);
        item->setToolTip(base::readableName(full));
    };
    add(QStringLiteral("/"), path, 0, open);
    int depth = 0;
    for (const QString& part : parts) {
        path = path == u"/" ? path + part : path + u'/' + part;
        add(part, path, ++depth, open);
    }
    QListWidgetItem* current = item(count() - 1);
    for (const QString& name : std::as_const(m_subdirs))
        add(name, SearchText::joinPath(m_path, name), depth + 1, closed);
    setCurrentItem(current);
    scrollToItem(current);
}

QString DirListView::subdirectory(int i) const {
    if (i < 0 || i >= m_subdirs.size())
        return QString();
    return SearchText::joinPath(m_path, m_subdirs.at(i));
}

QString DirListView::highlightedPath() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->data(PathRole).toString() : m_path;
}

void DirListView::highlight(const QString& path) {
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(PathRole).toString() == path) {
            setCurrentRow(i);
            return;
        }
}

void DirListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore(); // the window's default button decides
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListView::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    // Moving to another control of the window opens what is highlighted; switching to
    // another window does not.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    const QString h = highlightedPath();
    if (h != m_path)
        setPath(h);
}

} // namespace volaro::search
