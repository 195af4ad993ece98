#pragma once

// Builds directory trees for the search tests.

#include "support/fixtures.h"

#include <QStringList>

namespace searchtree {

// Creates the file (and its folders) with a few bytes of content.
inline bool touch(const QString& path, const QByteArray& bytes = QByteArray("x")) {
    return volaro::fixtures::writeBytes(path, bytes);
}

// Creates each file, named relative to root.
inline bool touchAll(const QString& root, const QStringList& names) {
    return std::all_of(names.begin(), names.end(),
                       [&](const QString& n) { return touch(root + "/" + n); });
}

} // namespace searchtree
