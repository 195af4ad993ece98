#include "search/dirlisting.h"

#include "base/filename.h"

#include <QDir>
#include <QStorageInfo>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace volaro::search {

namespace DirListing {

bool nameLess(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

namespace {

// The names of the directory's visible folders or files (links followed), in name order;
// read by bytes, as QDir leaves out every name that is not UTF-8.
bool entries(const QString& dir, bool folders, const FilePattern* pattern, QStringList& names) {
    names.clear();
    DIR* d = isReadableDirectory(dir) ? opendir(base::fileNameBytes(dir).constData()) : nullptr;
    if (!d)
        return false;
    while (const dirent* e = readdir(d)) {
        struct stat st {};
        if (e->d_name[0] == '.' || fstatat(dirfd(d), e->d_name, &st, 0) != 0 ||
            (folders ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
            continue;
        const QString name = base::fileNameFromBytes(e->d_name);
        if (!pattern || pattern->matches(name))
            names << name;
    }
    closedir(d);
    std::sort(names.begin(), names.end(), nameLess);
    return true;
}

} // namespace

bool subdirectories(const QString& dir, QStringList& names) {
    return entries(dir, true, nullptr, names);
}

bool matchingFiles(const QString& dir, const FilePattern& pattern, QStringList& names) {
    return entries(dir, false, &pattern, names);
}

bool isReadableDirectory(const QString& dir) {
    const QByteArray path = base::fileNameBytes(dir);
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::faccessat(AT_FDCWD, path.constData(), R_OK | X_OK, AT_EACCESS) == 0;
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
