#include "system/inisettingsstore.h"

#include <QFileInfo>

namespace volaro::system {

IniSettingsStore::IniSettingsStore()
    // On Linux the native format is INI text in $XDG_CONFIG_HOME/Volaro/Volaro.conf
    // (IniFormat would name the file Volaro.ini).
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Volaro"),
                 QStringLiteral("Volaro")) {}

QString IniSettingsStore::GetSetting(const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    // Values are text; a list (a key written as "a, b" by hand) reads back joined.
    const QVariant v = m_settings.value(section + QLatin1Char('/') + key, defaultValue);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void IniSettingsStore::SaveSetting(const QString& section, const QString& key,
                                   const QString& value) {
    m_settings.setValue(section + QLatin1Char('/') + key, value);
}

QString IniSettingsStore::flush() {
    m_settings.sync();
    switch (m_settings.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("The settings file %1 cannot be written (access denied).")
            .arg(m_settings.fileName());
    case QSettings::FormatError:
        return QStringLiteral("The settings file %1 is not in the expected format.")
            .arg(m_settings.fileName());
    }
    return {};
}

} // namespace volaro::system
