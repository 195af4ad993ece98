#include "search/filelistview.h"

#include "base/filename.h"
#include "search/dirlisting.h"

#include <QMimeData>
#include <QUrl>

namespace volaro::search {

FileListView::FileListView(QWidget* parent)
    : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit fileDoubleClicked(filePath(row(item))); });
}

void FileListView::setPath(const QString& dir) {
    m_path = dir;
    refresh();
}

bool FileListView::setPattern(const QString& text) {
    if (!m_pattern.setPattern(text))
        return false;
    refresh();
    return true;
}

void FileListView::refresh() {
    clear();
    DirListing::matchingFiles(m_path, m_pattern, m_names);
    for (const QString& name : std::as_const(m_names))
        addItem(base::readableName(name));
}

QString FileListView::filePath(int i) const {
    if (i < 0 || i >= m_names.size())
        return QString();
    return SearchText::joinPath(m_path, m_names.at(i));
}

QStringList FileListView::selectedPaths() const {
    QStringList paths;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            paths << filePath(i);
    return paths;
}

QMimeData* FileListView::createDragData() const {
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return nullptr;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << base::fileUrl(p);
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QStringList FileListView::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* FileListView::mimeData(const QList<QListWidgetItem*>&) const {
    // List order, whatever order the items were selected in.
    return createDragData();
}

} // namespace volaro::search
