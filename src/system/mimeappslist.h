#pragma once

// Editing the user's mimeapps.list (freedesktop.org MIME Applications Associations).
// Works on raw bytes so every line we do not own is written back exactly as it was,
// whatever its encoding, comments or line ending.

#include <QByteArray>
#include <QByteArrayList>

namespace volaro::system {

// Returns the file content with "<type>=<desktopId>;" for each of the types in its
// [Default Applications] group. Existing lines for those types in that group are replaced
// in place; missing ones are added at the end of the group, and the group is appended when
// the file has none. Every other line is left untouched. Applying it to its own result
// changes nothing.
QByteArray withDefaultApplication(const QByteArray& content, const QByteArrayList& mimeTypes,
                                  const QByteArray& desktopId);

} // namespace volaro::system
