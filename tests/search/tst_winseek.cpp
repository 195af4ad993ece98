// The search window offscreen, from the walk and its results to closing it mid-walk.

#include "base/filename.h"
#include "search/dirlistview.h"
#include "search/filelistview.h"
#include "search/filepattern.h"
#include "search/winseek.h"
#include "searchtree.h"
#include "support/memorysettingsstore.h"
#include "support/playlisttest.h"
#include "support/tagfixtures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

using namespace volaro::fixtures;
using namespace volaro::playlist;
using namespace volaro::search;

using searchtree::touch;
using searchtree::touchAll;
using volaro::base::fileNameBytes;

namespace {

// The main window's settings store, which the search window shares; emptied for every case.
MemorySettingsStore& store() {
    static MemorySettingsStore s;
    return s;
}

struct Window {
    QStringList sent, messages; // files handed to the playlist, messages shown
    std::unique_ptr<WinSeek> w =
        std::make_unique<WinSeek>(store(), [this](const QString& p) { sent << p; });

    Window() {
        w->setMessageHandler([this](const QString& m) { messages << m; });
    }
    WinSeek* operator->() const { return w.get(); }
    ClipListModel& model() const { return w->lstClipList()->clipModel(); }
    int rows() const { return model().count(); }
    QStringList locations() const { return ::locations(model()); }
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
        } // unloading stores the directory
        QCOMPARE(store().values.value("Directory/DefaultDir"), dir);
        // A stored directory that has gone leaves the lists at their starting place.
        for (const auto& [stored, start] :
             {std::pair{dir, dir}, {tree() + "/gone", QDir::cleanPath(QDir::homePath())}}) {
            store().values["Directory/DefaultDir"] = stored;
            Window win;
            QCOMPARE(win->dirList()->Path(), start);
            QCOMPARE(win->filList()->Path(), start);
        }
    }

    void patternFragmentBackAndClose() {
        QVERIFY(touchAll(tree(), {"I Love You.MP3", "love.wav", "other.mp3", ".hidden love.mp3"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QCOMPARE(win->filList()->fileCount(), 2);
        // Entering a text box selects its text.
        QVERIFY(win.show(true));
        win->txtSearchMask()->setFocus();
        win->txtSearchSpec()->setFocus();
        QTRY_COMPARE(win->txtSearchSpec()->selectedText(), QStringLiteral("*.mp3"));

        win->txtSearchMask()->setText("love");
        win->txtSearchMask()->setFocus();
        QTRY_COMPARE(win->txtSearchMask()->selectedText(), QStringLiteral("love"));
        QCOMPARE(win->txtSearchSpec()->text(), QStringLiteral("*love*.mp3"));
        QCOMPARE(win->filList()->fileCount(), 1); // I Love You.MP3

        // Editing the pattern itself overrides the fragment.
        win->txtSearchSpec()->setText("*.wav");
        QCOMPARE(win->filList()->fileName(0), QStringLiteral("love.wav"));
        win->txtSearchMask()->clear();
        QCOMPARE(win->txtSearchSpec()->text(), QStringLiteral("**.mp3"));
        QCOMPARE(win->filList()->fileCount(), 2);

        win->txtSearchMask()->setText("love");
        win->cmdSearch_Click();
        const QStringList found{tree() + "/I Love You.MP3"};
        QCOMPARE(win.locations(), found);

        win->cmdSearch()->click(); // "&Back" clears the results and keeps the criteria
        QCOMPARE(std::tuple(win->state(), win.rows(), win->lblCount()->text()),
                 std::tuple(WinSeek::State::Idle, 0, QStringLiteral("0")));
        QVERIFY(win->Picture2()->isHidden() && !win->Picture1()->isHidden());
        QVERIFY(win->cmdSearch()->isDefault());
        QTRY_VERIFY(win->txtSearchMask()->hasFocus());
        QCOMPARE(win->txtSearchMask()->text(), QStringLiteral("love"));
        // Return in a text box searches again, counting from zero.
        QTest::keyClick(win->txtSearchMask(), Qt::Key_Return);
        QTRY_COMPARE(win->state(), WinSeek::State::ShowingResults);
        QCOMPARE(win->lblCount()->text(), QStringLiteral(" 1"));

        // "&Close" only hides: reopened, everything is as it was.
        win->cmdExit()->click();
        QVERIFY(win->isHidden());
        win->show();
        QVERIFY(win->Picture2()->isVisible() && !win->Picture1()->isVisible());
        QCOMPARE(win.locations(), found);
        QCOMPARE(win->lblCount()->text(), QStringLiteral(" 1"));
    }

    void highlightedDirectoryRule() {
        QVERIFY(QDir().mkpath(tree() + "/One"));
        QVERIFY(touchAll(tree(), {"top.mp3", "Two/Sub/inner.mp3"}));
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QVERIFY(win.show(true));
        win->dirList()->setFocus();
        QTRY_VERIFY(win->dirList()->hasFocus());
        // The keyboard highlights the last entry, Two; leaving the list opens what is highlighted.
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
        QCOMPARE(std::tuple(win->state(), win.rows(), win->filList()->fileName(0)),
                 std::tuple(WinSeek::State::Idle, 0, QStringLiteral("inner.mp3")));
        QTest::keyClick(win.w.get(), Qt::Key_Return);
        QTRY_COMPARE(win->state(), WinSeek::State::ShowingResults);
        QCOMPARE(win.locations(), QStringList{tree() + "/Two/Sub/inner.mp3"});
        // Not the default button any more: Return does nothing now.
        QTest::keyClick(win.w.get(), Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(win->state(), WinSeek::State::ShowingResults);
    }

    // Cancel, close or deletion amid a large directory: it is listed out, the walk ends there.
    void endWalkDuringLargeDirectory() {
        for (const QString how : {"cancel", "close", "delete"}) {
            const QString root = tree() + '/' + how;
            for (int i = 0; i < 200; ++i)
                QVERIFY(touch(root + QStringLiteral("/Large/%1.mp3").arg(i, 3, 10, QChar(u'0'))));
            QVERIFY(touchAll(root, {"A-Small/s.mp3", "top.mp3"})); // walked after Large
            Window win;
            win->setYieldInterval(0);
            QVERIFY(win->dirList()->setPath(root));
            QVERIFY(win.show());
            bool pressed = false;
            int after = 0; // progress shown after the press
            connect(win.w.get(), &WinSeek::walkProgress, [&](const QString& c) {
                QVERIFY(!win->cmdSearch()->isEnabled()); // and Close is Cancel meanwhile
                after += pressed ? 1 : 0;
                if (c == QStringLiteral("Searching...  5 Files Found ") && !pressed) {
                    pressed = true;
                    // A queued press, handled while the directory is listed.
                    if (how == "close")
                        QTimer::singleShot(0, win.w.get(), &QWidget::close);
                    else if (how == "cancel")
                        QTimer::singleShot(0, win->cmdExit(), &QPushButton::click);
                    else
                        QTimer::singleShot(0, [&win] { win.w.reset(); });
                }
            });
            win->cmdSearch()->click();
            QVERIFY(pressed);
            if (how == "delete") {
                QVERIFY(!win.w);
                QCOMPARE(after, 0); // nothing ran after the window went
                QVERIFY(win.messages.isEmpty());
                // Unloading stored where the walk stood.
                QCOMPARE(store().values.value("Directory/DefaultDir"), root + "/Large");
                continue;
            }
            QCOMPARE(win.rows(), 200); // all of Large; nothing of A-Small or of the top
            QCOMPARE(win.locations().last(), root + "/Large/199.mp3");
            QCOMPARE(win->cmdExit()->text(), QStringLiteral("&Close"));
            QCOMPARE(win->dirList()->Path(), root + "/Large"); // where the walk stopped
            QCOMPARE(win->isHidden(), how == "close");         // Cancel never closes the window
        }
    }

    void tagsAndOddFilesBecomeRows() {
        QVERIFY(writeTaggedSong(tree() + "/one.mp3", {"Tagged Title", "Tag Artist", "", "", "", 0},
                                TagKind::Id3v23Latin1));
        QVERIFY(touch(tree() + "/bad.mp3", QByteArray(5000, '\xff'))); // garbage still listed
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        win->cmdSearch_Click();
        QCOMPARE(column(win.model()), (QStringList{"bad", "Tagged Title"}));
        win->cmdSearch_Click(); // "&Back"

        // Real-world files with broken, looping or oversized tags all become rows.
        const QString dir = oddMediaDir();
        if (dir.isEmpty())
            QSKIP(SkipNoCorpus);
        const QStringList names = QDir(dir).entryList(QDir::Files);
        QVERIFY2(names.size() > 10, qPrintable("no media files in " + dir));
        QVERIFY(win->dirList()->setPath(dir));
        win->txtSearchSpec()->setText("*.*");
        win->cmdSearch_Click();
        QCOMPARE(win.rows(), names.size());
        QCOMPARE(win->lblCount()->text(), SearchText::numberText(names.size()));
        QVERIFY(!column(win.model()).contains(QString()));
    }

    void findByTitleOrOtherColumns() {
        Window win;
        ClipListModel& m = win.model();
        const QStringList titles{"Alpha", "Sunset", "Beta"},
            artists{"Sunny Band", "Zed", "Sunny Two"};
        for (int i = 0; i < 3; ++i) {
            addRow(m, titles[i], QString("/m/%1.mp3").arg(i + 1));
            m.setText(i + 1, ClipListModel::ColArtist, artists[i]);
        }
        m.setSelected(3, true);
        m.setSelected(1, true);
        win->txtSearch()->setText("sun"); // by title: Sunset
        QCOMPARE(m.selectedIndexes(), QList<int>{2});
        QVERIFY(win->lstClipList()->MultiSelect());
        win->chkSearchTitlesOnly()->click(); // other columns: the first artist starting "Sun"
        QCOMPARE(m.selectedIndexes(), QList<int>{1});
        // The location column counts too; no match, or no text, leaves the selection.
        for (const char* text : {"/m/3", "nothing", ""}) {
            win->txtSearch()->setText(text);
            QCOMPARE(m.selectedIndexes(), QList<int>{3});
        }
    }

    void fullResultListStopsWithMessage() {
        QVERIFY(touchAll(tree(), {"a.mp3", "b.mp3", "c.mp3"}));
        Window win;
        for (int i = 1; i < ClipListModel::MaxRows; ++i)
            QVERIFY(win.model().insertRow(i, ClipRow{}));
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
        // Latin-1 names ("dé.mp3", "café"): listed, shown readably, handed over as their bytes.
        const QByteArray root = QFile::encodeName(tree()), latin1 = root + "/d\xE9.mp3";
        QVERIFY(::close(::creat(latin1, 0644)) == 0 && ::mkdir(root + "/caf\xE9", 0755) == 0);
        Window win;
        QVERIFY(win->dirList()->setPath(tree()));
        QCOMPARE(win->dirList()->item(win->dirList()->count() - 1)->text(), QString("café"));
        QCOMPARE(win->filList()->item(3)->text(), QString("dé.mp3"));
        QCOMPARE(fileNameBytes(win->filList()->filePath(3)), latin1);
        QVERIFY(win.show());
        FileListView* files = win->filList();
        QVERIFY(files->createDragData() == nullptr);
        const QRect r = files->visualRect(files->model()->index(0, 0));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(win.sent.isEmpty()); // a single click only selects
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(win.sent, QStringList{tree() + "/a song.mp3"});
        // Dragged files follow the list order, whatever order they were picked in.
        files->item(2)->setSelected(true);
        const QModelIndexList picked{files->model()->index(2, 0), files->model()->index(0, 0)};
        std::unique_ptr<QMimeData> data(files->model()->mimeData(picked));
        QVERIFY(data);
        QCOMPARE(data->urls(), QList<QUrl>({QUrl::fromLocalFile(tree() + "/a song.mp3"),
                                            QUrl::fromLocalFile(tree() + "/c.mp3")}));

        // Result rows go by their Location.
        win->cmdSearch_Click();
        const QPoint row2 = centreOf(*win->lstClipList(), 2);
        QTest::mouseClick(win->lstClipList()->viewport(), Qt::LeftButton, {}, row2);
        QTest::mouseDClick(win->lstClipList()->viewport(), Qt::LeftButton, {}, row2);
        QCOMPARE(win.sent, (QStringList{tree() + "/a song.mp3", tree() + "/b.mp3"}));
        QCOMPARE(fileNameBytes(win.locations().last()), latin1);
        QVERIFY(::unlink(latin1) == 0 && ::rmdir(root + "/caf\xE9") == 0); // unseen by QDir
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
};

QTEST_MAIN(TestWinSeek)
#include "tst_winseek.moc"
