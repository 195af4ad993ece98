#pragma once

// The per-user settings store: text values addressed by section and key. The window
// reads and writes through this interface so tests can hand it a store in memory.

#include <QSettings>
#include <QString>

namespace volaro::system {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultValue) const = 0;
    virtual void SaveSetting(const QString& section, const QString& key, const QString& value) = 0;
    // Writes everything out; returns an empty text, or why the store could not be written.
    virtual QString flush() = 0;
};

// $XDG_CONFIG_HOME/Volaro/Volaro.conf, INI format. QSettings replaces the file atomically,
// so a failed write never leaves it half-written.
class IniSettingsStore final : public SettingsStore {
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
