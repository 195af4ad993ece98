// The list view at its 32,767-row limit: add, sort, a random-order re-sort, deleting every
// second selected row, and clearing, with the view shown (offscreen by default).

#include "playlist/cliplistview.h"
#include "playlist/playlistedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>

using namespace volaro::playlist;

namespace {
double ms(QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = 3;
    const int n = ClipListModel::MaxRows;
    std::printf("clip list, %d rows, best of %d rounds (ms)\n", n, rounds);
    double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        ClipListView view;
        view.setupColumns();
        view.resize(900, 600);
        view.show();
        app.processEvents();
        QRandomGenerator gen(round + 1);

        QElapsedTimer t;
        t.start();
        for (int i = 1; i <= n; ++i) {
            ClipRow row;
            row.texts[0] = QStringLiteral("Song title %1").arg(gen.bounded(1000000));
            row.texts[2] = QStringLiteral("Artist %1").arg(gen.bounded(500));
            row.texts[7] = QStringLiteral("/music/library/%1.mp3").arg(i);
            view.clipModel().insertRow(i, std::move(row));
        }
        app.processEvents();
        best[0] = std::min(best[0], ms(t));

        view.clipModel().setPlayingRow(1234);
        HeaderSort sort;
        t.restart();
        sort.click(view.clipModel(), 1);
        app.processEvents();
        best[1] = std::min(best[1], ms(t));

        QRandomGenerator rnd(7);
        t.restart();
        RandomOrder(view.clipModel(), [&] { return rnd.generateDouble(); });
        view.EnsureVisible(view.clipModel().playingRow());
        app.processEvents();
        best[2] = std::min(best[2], ms(t));

        for (int i = 2; i <= n; i += 2)
            view.clipModel().setSelected(i, true);
        t.restart();
        DeleteSelectedItems(view.clipModel());
        app.processEvents();
        best[3] = std::min(best[3], ms(t));

        t.restart();
        ClearList(view.clipModel());
        app.processEvents();
        best[4] = std::min(best[4], ms(t));
        if (view.clipModel().count() != 0 || view.clipModel().playingRow() != 0)
            return 1;
    }
    const char* names[5] = {"add", "sort by title", "random order", "delete every second", "clear"};
    for (int i = 0; i < 5; ++i)
        std::printf("  %-22s %8.2f ms\n", names[i], best[i]);
    return 0;
}
