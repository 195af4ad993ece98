#pragma once

// The per-user settings store on disk.

#include "base/settingsstore.h"

#include <QSettings>
#include <QString>

namespace volaro::system {

// $XDG_CONFIG_HOME/Volaro/Volaro.conf, INI format. QSettings replaces the file atomically,
// so a failed write never leaves it half-written.
class IniSettingsStore final : public base::SettingsStore {
public:
    IniSettingsStore();
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
    QString flush() override;
    QString fileName() const { return m_settings.fileName(); }

private:
    mutable QSettings m_settings;
};

} // namespace volaro::system
