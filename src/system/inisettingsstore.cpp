#include "system/inisettingsstore.h"

#include "base/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cctype>

namespace volaro::system {

namespace {

// A key or section name the way QSettings writes it: "/" as "\", anything but letters,
// digits and "_-." as %XX or %UXXXX.
QByteArray iniKey(const QString& key) {
    QByteArray out;
    for (const QChar ch : key) {
        const char16_t c = ch.unicode();
        if (c == u'/')
            out += '\\';
        else if (c < 0x80 && (std::isalnum(c) || c == u'_' || c == u'-' || c == u'.'))
            out += char(c);
        else
            out += (c <= 0xFF ? "%" : "%U") +
                   QByteArray::number(c, 16).toUpper().rightJustified(c <= 0xFF ? 2 : 4, '0');
    }
    return out;
}

// A value as QSettings reads it back: quoted when spaces at its ends or ",;=" would change
// it, control characters and lone surrogates (file names that are not UTF-8) escaped.
QByteArray iniValue(const QString& value) {
    QByteArray out = value.startsWith(u'@') ? "@" : "";
    bool hexBefore = false; // a hex digit after "\xNN" would join the escape
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        const bool pair =
            QChar::isHighSurrogate(c) && i + 1 < value.size() && value[i + 1].isLowSurrogate();
        if (c < 0x20 || c == 0x7F || (QChar::isSurrogate(c) && !pair) ||
            (hexBefore && std::isxdigit(c))) {
            out += "\\x" + QByteArray::number(c, 16);
            hexBefore = true;
            continue;
        }
        hexBefore = false;
        if (c == u'"' || c == u'\\')
            out += '\\';
        out += QStringView(value).sliced(i, pair ? 2 : 1).toUtf8();
        i += pair;
    }
    const bool quote = value.startsWith(u' ') || value.endsWith(u' ') || value.contains(u',') ||
                       value.contains(u';') || value.contains(u'=');
    return quote ? '"' + out + '"' : out;
}

} // namespace

QString IniSettingsStore::defaultFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Volaro/Volaro.conf");
}

IniSettingsStore::IniSettingsStore(const QString& fileName)
    : m_fileName(fileName) {
    if (const QString why = base::notARegularFile(m_fileName); !why.isEmpty()) {
        m_readProblem = QStringLiteral("The settings file %1 was not read: %2.")
                            .arg(QDir::toNativeSeparators(m_fileName), why);
        return;
    }
    const QSettings file(m_fileName, QSettings::IniFormat);
    for (const QString& key : file.allKeys()) {
        // Values are text; a list (a key written as "a, b" by hand) reads back joined.
        const QVariant v = file.value(key);
        m_values.insert(key, v.typeId() == QMetaType::QStringList
                                 ? v.toStringList().join(QStringLiteral(", "))
                                 : v.toString());
    }
    if (file.status() == QSettings::FormatError)
        m_readProblem = QStringLiteral("The settings file %1 is damaged: what could be read of "
                                       "it is used, and it is written anew at exit.")
                            .arg(QDir::toNativeSeparators(m_fileName));
}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    return m_values.value(section + u'/' + key, defaultValue);
}

void IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                   const QString& value) {
    m_values.insert(section + u'/' + key, value);
}

QString IniSettingsStore::flush() {
    const QString folder = QFileInfo(m_fileName).absolutePath();
    QString why = QDir().mkpath(folder) ? base::writeFileAtomically(m_fileName, iniText(m_values))
                                        : QStringLiteral("The folder cannot be created.");
    if (why.isEmpty())
        return {};
    return QStringLiteral("The settings could not be saved to %1: %2")
        .arg(QDir::toNativeSeparators(m_fileName), why);
}

QByteArray IniSettingsStore::iniText(const QMap<QString, QString>& values) {
    // Grouped by section as QSettings does; keys of no section go to [General].
    QMap<QString, QByteArray> sections;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QString section = slash < 0 ? QStringLiteral("General") : it.key().left(slash);
        sections[section] += iniKey(it.key().mid(slash + 1)) + '=' + iniValue(it.value()) + '\n';
    }
    QByteArray text;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
        text += (text.isEmpty() ? "[" : "\n[") + iniKey(it.key()) + "]\n" + it.value();
    return text;
}

} // namespace volaro::system
