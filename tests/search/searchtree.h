#pragma once

// Builds directory trees for the search tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace searchtree {

// Creates the file (and its directories) with a few bytes of content.
inline bool touch(const QString& path, const QByteArray& bytes = QByteArray("x")) {
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(QIODevice::WriteOnly) &&
           f.write(bytes) == bytes.size();
}

// Creates each file, named relative to root.
inline bool touchAll(const QString& root, const QStringList& names) {
    for (const QString& n : names)
        if (!touch(root + "/" + n))
            return false;
    return true;
}

} // namespace searchtree
