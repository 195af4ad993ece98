#pragma once

// Small helpers for building directory trees for the search tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace searchtree {

// Creates the file (and its directories) with a few bytes of content.
inline bool touch(const QString& path, const QByteArray& bytes = QByteArray("x")) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

inline bool mkdirs(const QString& path) {
    return QDir().mkpath(path);
}

} // namespace searchtree
