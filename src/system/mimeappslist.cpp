#include "system/mimeappslist.h"

namespace volaro::system {

namespace {

const QByteArray DefaultGroup = QByteArrayLiteral("Default Applications");

// The group name when the line is a group header, otherwise a null array.
QByteArray groupName(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (t.size() >= 2 && t.startsWith('[') && t.endsWith(']'))
        return t.mid(1, t.size() - 2);
    return {};
}

// The key of a "key=value" line, otherwise a null array (blank lines and comments).
QByteArray keyOf(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith('#'))
        return {};
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return {};
    return t.left(eq).trimmed();
}

} // namespace

QByteArray withDefaultApplication(const QByteArray& content, const QByteArrayList& mimeTypes,
                                  const QByteArray& desktopId) {
    QByteArrayList lines = content.split('\n');
    // split() leaves an empty last piece after a final newline: it is not a line.
    const bool endsWithNewline = content.isEmpty() || content.endsWith('\n');
    if (endsWithNewline)
        lines.removeLast();

    auto entryLine = [&](const QByteArray& type, bool crlf) {
        QByteArray l = type + '=' + desktopId + ';';
        if (crlf)
            l += '\r';
        return l;
    };

    QList<bool> found(mimeTypes.size(), false);
    bool inDefaults = false;
    bool inFirstDefaults = false;
    qsizetype groupStart = -1;    // index of the first [Default Applications] header
    qsizetype lastGroupLine = -1; // last non-blank line belonging to that group
    bool crlf = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray& line = lines[i];
        if (line.endsWith('\r'))
            crlf = true;
        const QByteArray group = groupName(line);
        if (!group.isNull()) {
            // A repeated group is invalid, but readers that merge repeats let its keys win:
            // edit our keys in every copy and add the missing ones to the first.
            inDefaults = group == DefaultGroup;
            inFirstDefaults = inDefaults && groupStart < 0;
            if (inFirstDefaults) {
                groupStart = i;
                lastGroupLine = i;
            }
            continue;
        }
        if (!inDefaults)
            continue;
        if (inFirstDefaults && !line.trimmed().isEmpty())
            lastGroupLine = i;
        const QByteArray key = keyOf(line);
        const qsizetype t = key.isNull() ? -1 : mimeTypes.indexOf(key);
        if (t < 0)
            continue;
        if (inFirstDefaults)
            found[t] = true;
        const QByteArray wanted = entryLine(mimeTypes[t], line.endsWith('\r'));
        if (line != wanted)
            line = wanted;
    }

    QByteArrayList missing;
    for (qsizetype t = 0; t < mimeTypes.size(); ++t)
        if (!found[t])
            missing << entryLine(mimeTypes[t], crlf);

    if (groupStart >= 0) {
        for (qsizetype k = 0; k < missing.size(); ++k)
            lines.insert(lastGroupLine + 1 + k, missing[k]);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << (crlf ? QByteArray("\r") : QByteArray());
        QByteArray header = '[' + DefaultGroup + ']';
        if (crlf)
            header += '\r';
        lines << header;
        lines << missing;
    }

    // Lines we add at the very end get a newline; otherwise the file keeps its own ending.
    const bool appendedAtEnd =
        groupStart < 0 ||
        (!missing.isEmpty() && lastGroupLine + missing.size() == lines.size() - 1);
    QByteArray result = lines.join('\n');
    if (endsWithNewline || appendedAtEnd)
        result += '\n';
    return result;
}

} // namespace volaro::system
