#pragma once

#include "base/settingsstore.h"

#include <QMap>

// A settings store in memory, so a test decides what the last run left behind.
class MemorySettingsStore final : public volaro::base::SettingsStore {
public:
    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override {
        return values.value(section + u'/' + key, defaultValue);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        values.insert(section + u'/' + key, value);
        writes.append(section + u'/' + key);
    }
    QString flush() override { return failure; }

    QMap<QString, QString> values;
    QStringList writes; // keys in the order they were written
    QString failure;    // what flush() reports
};
