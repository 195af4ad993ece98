// The search window offscreen, from the walk and its results to closing it mid-walk.

#include "dirlistview.h"
#include "filelistview.h"
#include "filepattern.h"
#include "memorysettingsstore.h"
#include "playlisttest.h"
#include "searchtree.h"
#include "tagfixtures.h"
#include "winseek.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace volaro::playlist;
using namespace volaro::search;

using searchtree::touch;
using searchtree::touchAll;

namespace {

// The main window's settings store, which the search window shares; emptied for every case.
MemorySettingsStore& store() {
    static MemorySettingsStore s;
    return s;
}

struct Window {
    QStringList sent; // files handed to the playlist
    std::unique_ptr<WinSeek> w;
    QStringList messages;

    Window() {
        w = std::make_unique<WinSeek>(store(), [this](const QString& p) { sent << p; });
        w->setMessageHandler([this](const QString& m) { messages << m; });
    }
    WinSeek* operator->() const { return w.get(); }
    ClipListModel& model() const { return w->lstClipList()->clipModel(); }
    int rows() const { return model().count(); }
    QStringList locations() const { return ::locations(model()); }
    QStringList titles() const { return column(model()); }
    bool show(bool active = false) {
        w->show();
        if (!active)
            return QTest::qWaitForWindowExposed(w.get());
        w->activateWindow();
        return QTest::qWaitForWindowActive(w.get());
    }
};

} // namespace

class TestWinSeek : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tree;
    QString tree() const { return m_tree->path(); }

private slots:
    void init() {
        // A fresh tree and no stored settings for every case.
        m_tree = std::make_unique<QTemporaryDir>();
        store().values.clear();
    }

    void startAndStoredDirectoryAcrossRestart() {
        const QString dir = tree() + "/Music/Rock";
        QVERIFY(QDir().mkpath(dir));
        {
            Window win;
            QVERIFY(!win->Picture1()->isHidden() && win->Picture2()->isHidden());
            // No stored directory: the home directory, and the drive it is on.
            QCOMPARE(win->dirList()->Path(), QDir::cleanPath(QDir::homePath()));
            const QString drive = win->drvList()->currentText();
            QVERIFY(!drive.isEmpty() && QDir::homePath().startsWith(drive));

            QVERIFY(win->dirList()->setPath(dir));
            QCOMPARE(win->filList()->Path(), dir);
        } // unloading stores the directory
        QCOMPARE(store().values.value("Directory/DefaultDir"), dir);
        {
            Window win;
            QCOMPARE(win->dirList()->Path(), dir);
            QCOMPARE(win->filList()->Path(), dir);
        }
        // A stored directory that has gone leaves the list at its starting place.
        store().values["Directory/DefaultDir"] = tree() + "/gone";
        Window win;
        QCOMPARE(win->dirList()->Path(), QDir::cleanPath(QDir::homePath()));
    }

    void patternAndFragment() {
        QVERIFY(touchAll(tree(), {"I Love You.MP3", "love.wav", "other.mp3", ".hidden love.mp3"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QCOMPARE(win->filList()->fileCount(), 2);
        // Entering a text box selects its text.
        QVERIFY(win.show(true));
        win->txtSearchMask()->setFocus();
        QTest::qWait(10);
        QVERIFY(!win->txtSearchMask()->hasSelectedText()); // empty: nothing to select
        win->txtSearchSpec()->setFocus();
        QTRY_COMPARE(win->txtSearchSpec()->selectedText(), QStringLiteral("*.mp3"));

        win->txtSearchMask()->setText("love");
        win->txtSearchMask()->setFocus();
        QTRY_COMPARE(win->txtSearchMask()->selectedText(), QStringLiteral("love"));
        QCOMPARE(win->txtSearchSpec()->text(), QStringLiteral("*love*.mp3"));
        QCOMPARE(win->filList()->fileCount(), 1);
        QCOMPARE(win->filList()->fileName(0), QStringLiteral("I Love You.MP3"));

        // Editing the pattern itself overrides the fragment; a non-pattern is ignored.
        win->txtSearchSpec()->setText("*.wav");
        QCOMPARE(win->filList()->fileName(0), QStringLiteral("love.wav"));
        win->txtSearchSpec()->setText("bad/one");
        QCOMPARE(win->filList()->pattern(), QStringLiteral("*.wav"));
        win->txtSearchMask()->clear();
        QCOMPARE(win->txtSearchSpec()->text(), QStringLiteral("**.mp3"));
        QCOMPARE(win->filList()->fileCount(), 2);

        win->txtSearchMask()->setText("love");
        win->cmdSearch_Click();
        QCOMPARE(win.locations(), QStringList{tree() + "/I Love You.MP3"});
    }

    void walk_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("counter");
        const QString s = "Searching...  %1 Files Found ";
        QTest::newRow("Root/A/B order")
            << QStringList{"r.mp3", "A/a.mp3", "B/b.mp3"}
            << QStringList{"B/b.mp3", "A/a.mp3", "r.mp3"}
            << QStringList{"", "/B", s.arg(1), "/A", s.arg(2), s.arg(3)} << " 3";
        QTest::newRow("nothing to find")
            << QStringList{"readme.txt"} << QStringList{} << QStringList{""} << "0";
    }

    void walk() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, found);
        QFETCH(QStringList, captions);
        QFETCH(QString, counter);
        const QString root = tree() + "/Root";
        QVERIFY(touchAll(root, files));
        for (QString& f : found)
            f.prepend(root + "/");
        for (QString& c : captions)
            if (!c.startsWith("Searching"))
                c.prepend(root);
        Window win;
        QVERIFY(win->dirList()->setPath(root));
        QStringList seen, exitCaptions;
        connect(win.w.get(), &WinSeek::walkProgress, [&](const QString& c) {
            seen << c;
            exitCaptions << win->cmdExit()->text();
            QVERIFY(!win->cmdSearch()->isEnabled());
        });
        win->cmdSearch()->click();
        QCOMPARE(win.locations(), found);
        QCOMPARE(seen, captions);
        QCOMPARE(exitCaptions, QStringList(captions.size(), "Cancel"));
        QCOMPARE(win->lblCount()->text(), counter);
        QCOMPARE(win->state(), WinSeek::State::ShowingResults);
        QVERIFY(!win->cmdSearch()->isDefault() && win->cmdSearch()->isEnabled());
        QCOMPARE(win->cmdExit()->text(), QStringLiteral("&Close"));
        QVERIFY(!win->Picture2()->isHidden());
        QCOMPARE(win->dirList()->Path(), root); // back at the start after a complete walk
        QCOMPARE(win->filList()->Path(), root);
        QVERIFY(win.sent.isEmpty()); // nothing reaches the playlist by itself
    }

    void highlightedDirectoryRule() {
        QVERIFY(QDir().mkpath(tree() + "/One"));
        QVERIFY(touchAll(tree(), {"top.mp3", "Two/Sub/inner.mp3"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QVERIFY(win.show(true));
        win->dirList()->setFocus();
        QTRY_VERIFY(win->dirList()->hasFocus());
        // The keyboard moves the highlight down to the last entry, Two; leaving the list
        // opens what is highlighted.
        QTest::keyClick(win->dirList(), Qt::Key_End);
        QCOMPARE(win->dirList()->highlightedPath(), tree() + "/Two");
        QCOMPARE(win->dirList()->Path(), tree());
        win->txtSearchMask()->setFocus();
        QTRY_COMPARE(win->dirList()->Path(), tree() + "/Two");
        QCOMPARE(win->filList()->Path(), tree() + "/Two");

        QCOMPARE(win->dirList()->subdirectoryCount(), 1);
        win->dirList()->highlight(win->dirList()->subdirectory(0));
        QCOMPARE(win->dirList()->highlightedPath(), tree() + "/Two/Sub");
        // Return presses the default button; the first press only opens what is highlighted.
        QTest::keyClick(win.w.get(), Qt::Key_Return);
        QTRY_COMPARE(win->dirList()->Path(), tree() + "/Two/Sub");
        QCOMPARE(win->state(), WinSeek::State::Idle);
        QCOMPARE(win.rows(), 0);
        QCOMPARE(win->filList()->fileName(0), QStringLiteral("inner.mp3"));
        QTest::keyClick(win.w.get(), Qt::Key_Return);
        QTRY_COMPARE(win->state(), WinSeek::State::ShowingResults);
        QCOMPARE(win.locations(), QStringList{tree() + "/Two/Sub/inner.mp3"});
        // Not the default button any more: Return does nothing now.
        QTest::keyClick(win.w.get(), Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(win->state(), WinSeek::State::ShowingResults);
    }

    // Cancel, or closing from the title bar, while a large directory is listed: the rest of
    // that directory still comes in, and the walk stops at the next directory entered.
    void endWalkDuringLargeDirectory_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("Cancel") << false;
        QTest::newRow("title bar") << true;
    }

    void endWalkDuringLargeDirectory() {
        QFETCH(bool, close);
        for (int i = 0; i < 200; ++i)
            QVERIFY(touch(tree() + QStringLiteral("/Large/%1.mp3").arg(i, 3, 10, QChar(u'0'))));
        QVERIFY(touchAll(tree(), {"A-Small/s.mp3", "top.mp3"})); // walked after Large
        Window win;
        win->setYieldInterval(0);
        QVERIFY(win->dirList()->setPath(tree()));
        QVERIFY(win.show());
        bool pressed = false;
        connect(win.w.get(), &WinSeek::walkProgress, [&](const QString& c) {
            if (c == QStringLiteral("Searching...  5 Files Found ") && !pressed) {
                pressed = true;
                // The press arrives as a queued event, handled while the directory is listed.
                if (close)
                    QTimer::singleShot(0, win.w.get(), &QWidget::close);
                else
                    QTimer::singleShot(0, win->cmdExit(), &QPushButton::click);
            }
        });
        win->cmdSearch()->click();
        QVERIFY(pressed);
        QCOMPARE(win.rows(), 200); // all of Large; nothing of A-Small or of the top
        QCOMPARE(win.locations().last(), tree() + "/Large/199.mp3");
        QCOMPARE(win->cmdExit()->text(), QStringLiteral("&Close"));
        QCOMPARE(win->dirList()->Path(), tree() + "/Large"); // where the walk stopped
        QCOMPARE(win->isHidden(), close);                    // Cancel never closes the window
    }

    void tagsAndOddFilesBecomeRows() {
        QVERIFY(volaro::fixtures::writeTaggedSong(tree() + "/one.mp3",
                                                  {"Tagged Title", "Tag Artist"},
                                                  volaro::fixtures::TagKind::Id3v23Latin1));
        QVERIFY(touch(tree() + "/bad.mp3", QByteArray(5000, '\xff'))); // garbage still listed
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        win->cmdSearch_Click();
        QCOMPARE(win.titles(), (QStringList{"bad", "Tagged Title"}));
        QCOMPARE(win.model().text(2, ClipListModel::ColArtist), QStringLiteral("Tag Artist"));
        win->cmdSearch_Click(); // "&Back"

        // Real-world files with broken, looping or oversized tags all become rows.
        const QString dir = volaro::fixtures::oddMediaDir();
        if (dir.isEmpty())
            QSKIP(volaro::fixtures::SkipNoCorpus);
        const QStringList names = QDir(dir).entryList(QDir::Files);
        QVERIFY2(names.size() > 10, qPrintable("no media files in " + dir));
        QVERIFY(win->dirList()->setPath(dir));
        win->txtSearchSpec()->setText("*.*");
        win->cmdSearch_Click();
        QCOMPARE(win.rows(), names.size());
        QCOMPARE(win->lblCount()->text(), SearchText::numberText(names.size()));
        QVERIFY(!win.titles().contains(QString()));
    }

    void findByTitleOrOtherColumns() {
        Window win;
        ClipListView* list = win->lstClipList();
        const QStringList titles{"Alpha", "Sunset", "Beta"},
            artists{"Sunny Band", "Zed", "Sunny Two"};
        for (int i = 0; i < 3; ++i) {
            addRow(win.model(), titles[i], QString("/m/%1.mp3").arg(i + 1));
            win.model().setText(i + 1, ClipListModel::ColArtist, artists[i]);
        }
        win.model().setSelected(3, true);
        win.model().setSelected(1, true);

        win->txtSearch()->setText("sun"); // by title: Sunset
        QCOMPARE(list->clipModel().selectedIndexes(), QList<int>{2});
        QVERIFY(list->MultiSelect());

        win->chkSearchTitlesOnly()->click(); // other columns: the first artist starting "Sun"
        QCOMPARE(list->clipModel().selectedIndexes(), QList<int>{1});

        win->txtSearch()->setText("/m/3"); // the location column counts too
        QCOMPARE(list->clipModel().selectedIndexes(), QList<int>{3});

        win->txtSearch()->setText("nothing"); // no match: the selection stays
        QCOMPARE(list->clipModel().selectedIndexes(), QList<int>{3});
        win->txtSearch()->clear();
        QCOMPARE(list->clipModel().selectedIndexes(), QList<int>{3});
    }

    void backThenCloseAndReopen() {
        QVERIFY(touchAll(tree(), {"Blue Moon.mp3", "Red Sun.mp3"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QVERIFY(win.show(true));
        win->txtSearchMask()->setFocus();
        QTest::keyClicks(win->txtSearchMask(), "moon");
        QTest::keyClick(win->txtSearchMask(), Qt::Key_Return); // Return in a text box searches
        QTRY_COMPARE(win->state(), WinSeek::State::ShowingResults);
        QCOMPARE(win.locations(), QStringList{tree() + "/Blue Moon.mp3"});

        win->cmdSearch()->click(); // "&Back" clears the results and keeps the criteria
        QCOMPARE(win->state(), WinSeek::State::Idle);
        QCOMPARE(win.rows(), 0);
        QCOMPARE(win->lblCount()->text(), QStringLiteral("0"));
        QVERIFY(win->Picture2()->isHidden() && !win->Picture1()->isHidden());
        QVERIFY(win->cmdSearch()->isDefault());
        QTRY_VERIFY(win->txtSearchMask()->hasFocus());
        QCOMPARE(win->txtSearchMask()->text(), QStringLiteral("moon"));
        win->cmdSearch()->click(); // a new search counts from zero again
        QCOMPARE(win->lblCount()->text(), QStringLiteral(" 1"));

        // "&Close" only hides: reopened, everything is as it was.
        win->cmdExit()->click();
        QVERIFY(win->isHidden());
        win->show();
        QVERIFY(win->Picture2()->isVisible() && !win->Picture1()->isVisible());
        QCOMPARE(win.locations(), QStringList{tree() + "/Blue Moon.mp3"});
        QCOMPARE(win->lblCount()->text(), QStringLiteral(" 1"));
    }

    void fullResultListStopsWithMessage() {
        QVERIFY(touchAll(tree(), {"a.mp3", "b.mp3", "c.mp3"}));
        Window win;
        ClipListModel& m = win->lstClipList()->clipModel();
        for (int i = 1; i < ClipListModel::MaxRows; ++i)
            QVERIFY(m.insertRow(i, ClipRow{}));
        win->lblCount()->setText(QStringLiteral(" 32766"));
        QVERIFY(win->dirList()->setPath(tree()));
        win->cmdSearch_Click();
        QCOMPARE(win.rows(), ClipListModel::MaxRows); // one more fitted
        QCOMPARE(win.locations().last(), tree() + "/a.mp3");
        QCOMPARE(win.messages,
                 QStringList{QString::fromUtf8(
                     "Se ha llenado el cuadro de lista. Abandonando la b\xc3\xbasqueda...")});
        QCOMPARE(win->lblCount()->text(), QStringLiteral(" 32767"));
    }

    void filesAndRowsToPlaylist() {
        QVERIFY(touchAll(tree(), {"c.mp3", "a song.mp3", "b.mp3", "list.m3u"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QVERIFY(win.show());
        FileListView* files = win->filList();
        QVERIFY(files->createDragData() == nullptr);
        const QRect r = files->visualRect(files->model()->index(0, 0));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(win.sent.isEmpty()); // a single click only selects
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(win.sent, QStringList{tree() + "/a song.mp3"});
        QCOMPARE(files->filePath(0), tree() + "/a song.mp3");
        // Dragged files follow the list order, whatever order they were picked in.
        const QList<QUrl> ac{QUrl::fromLocalFile(tree() + "/a song.mp3"),
                             QUrl::fromLocalFile(tree() + "/c.mp3")};
        files->item(2)->setSelected(true);
        const QModelIndexList picked{files->model()->index(2, 0), files->model()->index(0, 0)};
        std::unique_ptr<QMimeData> data(files->model()->mimeData(picked));
        QVERIFY(data);
        QCOMPARE(data->urls(), ac);

        // Result rows go by their Location.
        win->cmdSearch_Click();
        ClipListView* list = win->lstClipList();
        const QRect rr = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rr.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rr.center());
        QCOMPARE(win.sent, (QStringList{tree() + "/a song.mp3", tree() + "/b.mp3"}));
    }

    void resizeRules() {
        const auto px = [](int twips) { return qRound(twips / 15.0); };
        Window win;
        QVERIFY(win.show());
        win->resize(600, 700);
        // Outer size in twips: client x15 plus the frame; the panels are H - 1200 high.
        const int h = 700 * 15 + 435, w = 600 * 15 + 120;
        QCOMPARE(win->Picture2()->size(), QSize(px(w), px(h - 1200)));
        QCOMPARE(win->Picture1()->height(), px(h - 1200));
        QCOMPARE(win->lstClipList()->size(), QSize(px(w - 500), px(h - 2000)));
        QCOMPARE(win->cmdSearch()->y(), px(h - 1200) + px(100));
        QCOMPARE(win->Label1()->y(), win->cmdSearch()->y());
        const int listHeight = win->lstClipList()->height();
        const int pictureOneWidth = win->Picture1()->width();

        // Under 2000 twips high: the list keeps its height, everything else follows.
        win->resize(500, 100);
        const int h2 = 100 * 15 + 435, w2 = 500 * 15 + 120;
        QCOMPARE(win->lstClipList()->height(), listHeight);
        QCOMPARE(win->lstClipList()->width(), px(w2 - 500));
        QCOMPARE(win->Picture2()->height(), px(h2 - 1200));
        QCOMPARE(win->Picture1()->width(), pictureOneWidth); // set only at load

        // So small that the panels would be negative: they keep their height.
        win->resize(500, 20);
        QCOMPARE(win->Picture2()->height(), px(h2 - 1200));
    }

    void deleteDuringWalk() {
        for (int i = 0; i < 50; ++i)
            QVERIFY(touch(tree() + QStringLiteral("/D%1/x.mp3").arg(i)));
        int seen = 0;
        Window win;
        QPointer<WinSeek> w = win.w.release();
        w->setYieldInterval(0);
        QVERIFY(w->dirList()->setPath(tree()));
        connect(w.data(), &WinSeek::walkProgress, [&](const QString& c) {
            if (c.startsWith("Searching") && ++seen == 10)
                QTimer::singleShot(0, [w] { delete w.data(); });
        });
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.data()));
        w->cmdSearch()->click();
        QVERIFY(w.isNull());
        QCOMPARE(seen, 10); // nothing ran after the window went
        QVERIFY(win.messages.isEmpty());
        // Unloading stored where the walk stood.
        QVERIFY(store().values.value("Directory/DefaultDir").startsWith(tree() + "/D"));
    }
};

QTEST_MAIN(TestWinSeek)
#include "tst_winseek.moc"
