#include "system/desktopentry.h"

#include "base/mediakinds.h"

#include <algorithm>

namespace volaro::system {

namespace {

bool isReserved(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

} // namespace

QString desktopExecArgument(const QString& programPath) {
    // Step 1: the Exec quoting rule. Inside double quotes only ", `, $ and \ need a backslash.
    QString argument;
    const bool quote = std::any_of(programPath.begin(), programPath.end(), isReserved);
    if (quote) {
        argument += u'"';
        for (QChar c : programPath) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += u'\\';
            argument += c;
        }
        argument += u'"';
    } else {
        argument = programPath;
    }
    // Step 2: a literal percent sign would otherwise read as a field code.
    argument.replace(u'%', QStringLiteral("%%"));

    // Step 3: the general string escapes, which readers undo before unquoting.
    return desktopStringValue(argument);
}

QString desktopStringValue(const QString& text) {
    QString encoded;
    encoded.reserve(text.size() + 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            encoded += QStringLiteral("\\\\");
            break;
        case '\n':
            encoded += QStringLiteral("\\n");
            break;
        case '\t':
            encoded += QStringLiteral("\\t");
            break;
        case '\r':
            encoded += QStringLiteral("\\r");
            break;
        default:
            encoded += c;
        }
    }
    return encoded;
}

QByteArray desktopEntryFromTemplate(const QByteArray& entryTemplate, const QString& programPath) {
    QByteArray entry = entryTemplate;
    entry.replace("@VOLARO_EXEC@", desktopExecArgument(programPath).toUtf8());
    entry.replace("@VOLARO_TRYEXEC@", desktopStringValue(programPath).toUtf8());
    entry.replace("@VOLARO_MIME_TYPES@", (base::playableMimeTypes().join(u';') + u';').toUtf8());
    return entry;
}

} // namespace volaro::system
