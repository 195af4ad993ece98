#include "search/dirlisting.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace volaro::search {

namespace DirListing {

bool nameLess(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

bool subdirectories(const QString& dir, QStringList& names) {
    names.clear();
    if (!isReadableDirectory(dir))
        return false;
    names = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(names.begin(), names.end(), nameLess);
    return true;
}

bool matchingFiles(const QString& dir, const FilePattern& pattern, QStringList& names) {
    names.clear();
    if (!isReadableDirectory(dir))
        return false;
    const QStringList all = QDir(dir).entryList(QDir::Files, QDir::Unsorted);
    for (const QString& n : all)
        if (pattern.matches(n))
            names << n;
    std::sort(names.begin(), names.end(), nameLess);
    return true;
}

bool isReadableDirectory(const QString& dir) {
    const QFileInfo fi(dir);
    return fi.isDir() && fi.isReadable() && fi.isExecutable();
}

QStringList drives() {
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady())
            roots << normalize(v.rootPath());
    roots << QStringLiteral("/");
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end(), [](const QString& a, const QString& b) {
        if (a == u"/" || b == u"/")
            return a == u"/" && b != u"/";
        return nameLess(a, b);
    });
    return roots;
}

QString driveOf(const QString& dir, const QStringList& drives) {
    const QString d = normalize(dir);
    QString best = QStringLiteral("/");
    for (const QString& root : drives) {
        if (root.size() <= best.size())
            continue;
        if (d == root || d.startsWith(root + u'/'))
            best = root;
    }
    return best;
}

QString normalize(const QString& dir) {
    QString d = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    if (d.isEmpty())
        return QString();
    if (!d.startsWith(u'/'))
        d = QDir::cleanPath(QDir::current().absoluteFilePath(d));
    return d;
}

} // namespace DirListing

} // namespace volaro::search
