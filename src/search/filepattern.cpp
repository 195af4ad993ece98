#include "search/filepattern.h"

namespace volaro::search {

namespace {

// Classic wildcard match with one back-tracking point: linear for the usual "*x*.mp3".
bool wildMatch(QStringView pat, QStringView name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pat.size() && pat[p] == u'*') {
            starP = ++p;
            starN = n;
        } else if (p < pat.size() && (pat[p] == u'?' || pat[p] == name[n].toCaseFolded())) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == u'*')
        ++p;
    return p == pat.size();
}

bool isAscii(QStringView s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

FilePattern::FilePattern() {
    setPattern(QStringLiteral("*.mp3"));
}

bool FilePattern::setPattern(const QString& text) {
    if (text.trimmed().isEmpty())
        return false;
    for (QChar c : text)
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    QStringList parts;
    bool all = false;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (p.isEmpty())
            continue;
        if (p == u"*.*" || p == u"*")
            all = true;
        parts << p.toCaseFolded();
    }
    if (parts.isEmpty())
        return false;
    m_text = text;
    m_parts = parts;
    m_all = all;
    return true;
}

bool FilePattern::matches(QStringView name) const {
    if (m_all)
        return true;
    // Qt folds one character to one ("ß" stays, "ẞ" becomes "ß"), so folding inside the
    // match would do, were it not for letters written as two UTF-16 units (Deseret,
    // Osage...): only the whole string's fold reaches those.
    if (!isAscii(name)) {
        const QString folded = name.toString().toCaseFolded();
        for (const QString& p : m_parts)
            if (wildMatch(p, folded))
                return true;
        return false;
    }
    for (const QString& p : m_parts)
        if (wildMatch(p, name))
            return true;
    return false;
}

namespace SearchText {

QString joinPath(const QString& dir, const QString& name) {
    if (dir.endsWith(u'/'))
        return dir + name;
    return dir + u'/' + name;
}

QString numberText(qint64 n) {
    return u' ' + QString::number(n);
}

qint64 counterValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    qint64 v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && v < 100000000000000LL) {
        v = v * 10 + (text[i].unicode() - u'0');
        ++i;
    }
    return v;
}

QString searchingCaption(qint64 n) {
    return QStringLiteral("Searching... ") + numberText(n) + QStringLiteral(" Files Found ");
}

} // namespace SearchText

} // namespace volaro::search
