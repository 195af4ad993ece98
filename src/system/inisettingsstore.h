#pragma once

// The per-user settings store on disk.

#include "base/settingsstore.h"

#include <QMap>
#include <QString>

namespace volaro::system {

// $XDG_CONFIG_HOME/Volaro/Volaro.conf, INI text. QSettings reads it, once, at construction,
// and only when it is a regular file (a named pipe there would block the start for good).
// Writing is ours: the whole file at every flush(), replaced atomically and checked, as
// QSettings would report success for a file a full disk had cut.
class IniSettingsStore final : public base::SettingsStore {
public:
    explicit IniSettingsStore(const QString& fileName = defaultFileName());
    static QString defaultFileName();

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    void SaveSetting(const QString& section, const QString& key, const QString& value) override;
    QString flush() override;
    QString readProblem() const override { return m_readProblem; }
    QString fileName() const { return m_fileName; }

    // The INI text of the values ("Section/Key" -> text), as QSettings reads it back.
    static QByteArray iniText(const QMap<QString, QString>& values);

private:
    QString m_fileName;
    QMap<QString, QString> m_values; // every value, read or written, by "Section/Key"
    QString m_readProblem;
};

} // namespace volaro::system
