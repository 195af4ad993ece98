// Build tool: renders the application's SVG icon into the PNG sizes of the hicolor theme.
// Usage: volaro_iconrender <icon.svg> <output folder> <size>...
// Writes <output folder>/<size>x<size>/apps/volaro.png for every size.

#include "system/appicon.h"

#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <icon.svg> <output folder> <size>...\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray svg = source.readAll();
    const QString out = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QByteArray png = volaro::system::pngBytes(volaro::system::renderIcon(svg, size));
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        QFile file(dir + QStringLiteral("/volaro.png"));
        if (png.isEmpty() || !QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly) ||
            file.write(png) != png.size()) {
            std::fprintf(stderr, "cannot render the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
