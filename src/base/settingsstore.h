#pragma once

// The per-user settings store: text values addressed by section and key. The window
// reads and writes through this interface so tests can hand it a store in memory.

#include "base/settingkeys.h"

#include <QString>

namespace volaro::base {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString GetSetting(const QString& section, const QString& key,
                               const QString& defaultValue) const = 0;
    virtual void SaveSetting(const QString& section, const QString& key, const QString& value) = 0;
    // Writes everything out; returns an empty text, or why the store could not be written.
    virtual QString flush() = 0;
    // What was wrong with the stored settings when they were read; empty when nothing.
    virtual QString readProblem() const { return {}; }

    // The same through a declared key.
    QString read(const SettingKey& k, const QString& defaultValue) const {
        return GetSetting(QString::fromLatin1(k.section), QString::fromLatin1(k.key), defaultValue);
    }
    void write(const SettingKey& k, const QString& value) {
        SaveSetting(QString::fromLatin1(k.section), QString::fromLatin1(k.key), value);
    }
};

} // namespace volaro::base
