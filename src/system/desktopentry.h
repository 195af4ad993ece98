#pragma once

// Writing values into XDG desktop entries (freedesktop.org Desktop Entry format).

#include <QByteArray>
#include <QString>

namespace volaro::system {

// The program path as the first argument of an Exec key, encoded for the file: quoted when
// it holds a reserved character (blank, quote, "$", ...), with the quoting escapes, "%"
// doubled, and then the string escapes applied (so a quoted "\" ends up as four of them).
QString desktopExecArgument(const QString& programPath);

// A text as a value of the format's string type: backslash, newline, tab and carriage
// return written as escapes.
QString desktopStringValue(const QString& text);

// The desktop entry template with its "@VOLARO_EXEC@" placeholder replaced by the encoded
// Exec argument, "@VOLARO_TRYEXEC@" by the plain path (so menus hide the entry once the
// program is gone) and "@VOLARO_MIME_TYPES@" by the playable kinds. The result is UTF-8.
QByteArray desktopEntryFromTemplate(const QByteArray& entryTemplate, const QString& programPath);

} // namespace volaro::system
