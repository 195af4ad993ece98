#pragma once

#include <QString>
#include <QStringList>

namespace volaro::app {

// The path named on the command line: the arguments after the program's name, joined by
// single spaces, with every double quote removed wherever it stands. Empty when none.
inline QString commandLinePath(const QStringList& arguments) {
    QString text = arguments.mid(1).join(QLatin1Char(' '));
    text.remove(QLatin1Char('"'));
    return text;
}

} // namespace volaro::app
