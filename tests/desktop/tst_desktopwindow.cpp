// The real window under openbox and PulseAudio: its place, the fold, and dead ends.

#include "app/frmplayer.h"
#include "app/transitionbutton.h"
#include "playlist/cliplistview.h"
#include "support/fixtures.h"
#include "support/sinkcapture.h"
#include "support/testplayer.h"
#include "system/inisettingsstore.h"

#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::app;
using namespace volaro::system;
using namespace volaro::playlist;
using volaro::testing::TestPlayer;

namespace {

constexpr double ToneA = 450, ToneB = 990; // on exact 30 Hz bins

int px(int twips) {
    return qRound(twips / 15.0);
}

} // namespace

class TestDesktopWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_files;

    QString file(const QString& name) const { return m_files.filePath(name); }
    QString settingsFile() const { return m_config.filePath(QStringLiteral("Volaro/Volaro.conf")); }

    // Started as main() starts it, shown, and framed by the window manager.
    bool start(TestPlayer& w, const QStringList& arguments = {}) {
        w.Form_Load(QStringList{QStringLiteral("volaro")} + arguments);
        w.show();
        return QTest::qWaitForWindowExposed(&w) &&
               QTest::qWaitFor([&] { return w.frameGeometry().height() > w.height(); });
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QVERIFY(volaro::fixtures::writeWav(file("a.wav"), {.frequency = ToneA, .seconds = 8}));
        QVERIFY(volaro::fixtures::writeWav(file("b.wav"), {.frequency = ToneB, .seconds = 8}));
        QVERIFY(volaro::fixtures::writeBytes(file("empty.m3u"), {}));
    }

    void placeKeptOverThreeRuns() {
        const QList<QPair<QString, int>> place{
            {"Window/Top", 1500}, {"Window/Left", 1500}, {"Window/Height", 7000}};
        QDir().mkpath(m_config.filePath(QStringLiteral("Volaro")));
        {
            QSettings s(settingsFile(), QSettings::IniFormat);
            for (const auto& [key, twips] : place)
                s.setValue(key, twips);
        }
        for (int run = 1; run <= 3; ++run) {
            {
                IniSettingsStore store;
                TestPlayer w(store);
                QVERIFY(start(w));
                // Opened where and as tall as stored, title bar included.
                QTRY_COMPARE(w.frameGeometry().height(), px(7000));
                QCOMPARE(w.frameGeometry().topLeft(), QPoint(px(1500), px(1500)));
                w.close();
            }
            QSettings s(settingsFile(), QSettings::IniFormat);
            for (const auto& [key, twips] : place) // within one pixel's rounding
                QVERIFY2(qAbs(s.value(key).toDouble() - twips) <= 15,
                         qPrintable(key + " = " + s.value(key).toString()));
        }
    }

    void panelOnTheStatusBarAndTheFoldHidesFromTab() {
        IniSettingsStore store;
        TestPlayer w(store);
        QVERIFY(start(w));
        QWidget* panel = w.ui().Picture1;
        auto bottom = [&] { return panel->mapTo(&w, QPoint(0, panel->height())).y(); };
        // Every widget Tab reaches in two rounds, from Play on.
        auto tabCycle = [&] {
            QSet<QWidget*> reached;
            w.ui().btnPlay->setFocus();
            for (int i = 0; i < 60; ++i) {
                QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
                reached.insert(w.focusWidget());
            }
            return reached;
        };
        w.activateWindow();
        QTRY_VERIFY(w.isActiveWindow());
        ClipListView* list = w.ui().lstClipList;
        QTRY_COMPARE(bottom(), w.statusBar()->y());
        QCOMPARE(list->height(), panel->y());
        QCOMPARE(list->width(), w.centralWidget()->width() - 2 * list->x());
        const int openTop = panel->y();
        QVERIFY(tabCycle().contains(w.ui().cmbOutputDevices));

        // Folding moves only the panel's top edge, and the list's bottom with it.
        QTest::mouseClick(w.ui().cmdShowOptions, Qt::LeftButton);
        QCOMPARE(bottom(), w.statusBar()->y());
        QCOMPARE(panel->y(), openTop + px(4335) - px(2415));
        QCOMPARE(list->height(), panel->y());
        const QSet<QWidget*> reached = tabCycle();
        QVERIFY(reached.contains(w.ui().cmdWinSeek));
        for (QWidget* folded : w.ui().belowFold)
            QVERIFY2(!reached.contains(folded), qPrintable(folded->metaObject()->className()));
        QTest::mouseClick(w.ui().cmdShowOptions, Qt::LeftButton);
        // A taller window gives the list the height; the panel stays on the status bar.
        w.setGeometryTwips(1500, 1500, 9000);
        QTRY_COMPARE(list->height(), openTop + px(9000) - px(7000));
        QCOMPARE(bottom(), w.statusBar()->y());
        w.close();
    }

    void playOnAnEmptyListAndDuringTheTotalLengthIsHeard() {
        volaro::capture::SinkCapture sink({}, file("empty.raw"));
        QVERIFY(sink.started());
        IniSettingsStore store;
        TestPlayer w(store);
        QVERIFY(start(w, {file("empty.m3u")})); // names a list that adds no row, then Play
        QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Stop"));
        // A list file that adds nothing does not push the files after it past the end.
        DropFiles(w.ui().lstClipList->clipModel(),
                  {file("empty.m3u"), file("a.wav"), file("b.wav")}, 1);
        QCOMPARE(w.ui().lstClipList->clipModel().count(), 2);
        QTest::mouseClick(w.ui().btnPlay, Qt::LeftButton);
        QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Play"));
        QVERIFY(sink.heard(ToneA, 1.5) > 0.1);

        QTest::mouseClick(w.ui().btnStop, Qt::LeftButton);
        DropFiles(w.ui().lstClipList->clipModel(), {file("a.wav"), file("a.wav")}, 1);
        // Pressed while the first song is measured; three more are measured after it.
        QMetaObject::invokeMethod(w.ui().btnPlay, &QPushButton::click, Qt::QueuedConnection);
        QTest::mouseClick(w.ui().cmdCalculate, Qt::LeftButton);
        QCOMPARE(w.ui().lblCantDeTemas->text(), QStringLiteral("4"));
        QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Play"));
        QVERIFY(sink.heard(ToneA, 1.5) > 0.1);
        w.close();
    }

    // Last: it stops the sound server.
    void noOutputAtAllStopsAndSaysSo() {
        IniSettingsStore store;
        TestPlayer w(store);
        QVERIFY(start(w));
        DropFiles(w.ui().lstClipList->clipModel(), {file("a.wav")}, 1);
        QCOMPARE(QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("exit")}), 0);
        QTest::mouseClick(w.ui().btnPlay, Qt::LeftButton);
        QTRY_COMPARE(w.ui().lblStatus->text(), QStringLiteral("Stop"));
        QCOMPARE(w.ui().statusPanel2->text(), QStringLiteral("No sound output can be opened"));
        w.close();
    }
};

QTEST_MAIN(TestDesktopWindow)
#include "tst_desktopwindow.moc"
