#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

namespace volaro::app {

// Starts a player of its own even when one is running in the session.
inline const QString NewInstanceOption = QStringLiteral("--new-instance");

inline bool newInstanceAsked(const QStringList& arguments) {
    return arguments.mid(1).contains(NewInstanceOption);
}

// The path named on the command line: the arguments after the program's name (but for
// --new-instance), joined by single spaces, with every double quote removed wherever it
// stands. Empty when none.
inline QString commandLinePath(const QStringList& arguments) {
    QStringList words = arguments.mid(1);
    words.removeAll(NewInstanceOption);
    QString text = words.join(QLatin1Char(' '));
    text.remove(QLatin1Char('"'));
    return text;
}

// The path as another process sees it: a relative one is taken from our working folder.
inline QString handOverPath(const QStringList& arguments) {
    const QString path = commandLinePath(arguments);
    return path.isEmpty() ? path : QDir::current().absoluteFilePath(path);
}

} // namespace volaro::app
