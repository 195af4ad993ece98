#pragma once

// What the directory and file lists of the search window show of one directory: its
// subdirectories and its files matching a pattern, hidden entries left out, each sorted by
// name without regard to case. Also the mounted volumes that stand for drives.

#include "search/filepattern.h"

#include <QString>
#include <QStringList>

namespace volaro::search {

namespace DirListing {

// Name order of every list: case ignored, ties broken by exact text.
bool nameLess(const QString& a, const QString& b);

// Subdirectory names (symbolic links to directories included). false when the directory
// cannot be read.
bool subdirectories(const QString& dir, QStringList& names);

// Names of the regular files (or links to them) matching pattern.
bool matchingFiles(const QString& dir, const FilePattern& pattern, QStringList& names);

// True when dir exists and can be listed.
bool isReadableDirectory(const QString& dir);

// The root paths of the mounted volumes, "/" first, then in name order.
QStringList drives();

// The drive a directory is on: the longest drive root that is a path prefix of it.
QString driveOf(const QString& dir, const QStringList& drives);

// Cleans a directory path to the form the lists use: absolute, "/" separators, no trailing
// "/" except for the root.
QString normalize(const QString& dir);

} // namespace DirListing

} // namespace volaro::search
