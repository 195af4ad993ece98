// Prints what "Set Volaro as Default Player" and the About window cost: registration in a
// fresh home and again once registered (with a small and a 20,000-line mimeapps.list),
// the editing of that list alone, the icon rendering per size, and opening the About window.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_system

#include "system/appicon.h"
#include "system/fileassociation.h"
#include "system/frmabout.h"
#include "system/mimeappslist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace volaro::system;

namespace {

// Median of n runs, in milliseconds.
double medianMs(int n, const std::function<void()>& f) {
    QList<double> times;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times << t.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QByteArray bigList(int lines) {
    QByteArray out = "[Added Associations]\n";
    for (int i = 0; i < lines; ++i)
        out += "application/x-type-" + QByteArray::number(i) + "=some-app-" +
               QByteArray::number(i % 50) + ".desktop;other.desktop;\n";
    out += "\n[Default Applications]\naudio/mpeg=vlc.desktop;\n";
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString program = QStringLiteral("/opt/Volaro Player/volaro");

    for (int lines : {10, 20000}) {
        double fresh = 0, again = 0;
        const int runs = 9;
        QList<double> freshTimes;
        for (int i = 0; i < runs; ++i) {
            QTemporaryDir home;
            const AssociationPlaces places{program, home.filePath("data"), home.filePath("config")};
            QDir().mkpath(places.configHome);
            writeFile(places.configHome + "/mimeapps.list", bigList(lines));
            QElapsedTimer t;
            t.start();
            if (!registerFileTypesIn(places))
                std::printf("registration failed\n");
            freshTimes << t.nsecsElapsed() / 1e6;
            if (i == runs - 1)
                again = medianMs(runs, [&] { registerFileTypesIn(places); });
        }
        std::sort(freshTimes.begin(), freshTimes.end());
        fresh = freshTimes[runs / 2];
        std::printf("RegisterFileTypes, mimeapps.list of %5d lines: first run %7.2f ms, "
                    "once registered %7.2f ms\n",
                    lines + 3, fresh, again);
    }

    const QByteArray big = bigList(20000);
    const QByteArrayList types = associatedMimeTypes();
    const double edit = medianMs(21, [&] { withDefaultApplication(big, types, "volaro.desktop"); });
    std::printf("mimeapps.list edit alone, %d bytes: %.2f ms (%.0f MB/s)\n", int(big.size()), edit,
                big.size() / 1e6 / (edit / 1e3));

    const QByteArray svg = appIconSvg();
    for (int size : appIconPixelSizes()) {
        const double ms = medianMs(11, [&] { pngBytes(renderIcon(svg, size)); });
        std::printf("icon %3d px rendered and PNG-encoded: %6.2f ms\n", size, ms);
    }

    const double about = medianMs(11, [&] {
        frmAbout window;
        window.show();
        QApplication::processEvents();
    });
    std::printf("frmAbout built, shown and laid out: %.2f ms\n", about);
    return 0;
}
