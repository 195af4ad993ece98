#pragma once

#include "base/filename.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <sys/stat.h>

namespace volaro::app {

// Starts a player of its own even when one is running in the session.
inline const QString NewInstanceOption = QStringLiteral("--new-instance");

// The words before "--" may be options; every word after it belongs to the path.
inline QStringList optionWords(const QStringList& arguments) {
    const QStringList words = arguments.mid(1);
    return words.mid(0, words.indexOf(QStringLiteral("--")));
}

inline bool newInstanceAsked(const QStringList& arguments) {
    return optionWords(arguments).contains(NewInstanceOption);
}

// The path named on the command line: the arguments after the program's name (but for
// --new-instance and "--"), joined by single spaces. The shell has already unquoted them,
// so a path that names a file is taken as it is (a double quote may be part of a name);
// otherwise every double quote is removed, for starters that quote the path once more.
// Empty when none.
inline QString commandLinePath(const QStringList& arguments) {
    QStringList words = optionWords(arguments);
    words.removeAll(NewInstanceOption);
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"), 1);
    if (dashes > 0)
        words += arguments.mid(dashes + 1);
    QString text = words.join(QLatin1Char(' '));
    struct stat st {};
    if (::stat(base::fileNameBytes(text).constData(), &st) != 0)
        text.remove(QLatin1Char('"'));
    return text;
}

// The path as a player started elsewhere can find it.
inline QString handOverPath(const QStringList& arguments) {
    const QString path = commandLinePath(arguments);
    return path.isEmpty() ? path : QDir::current().absoluteFilePath(path);
}

} // namespace volaro::app
