// List files: what counts as one, reading every line-ending style, comments, progress and
// status updates, saving (exact bytes, atomic replace, failures) and hostile inputs.

#include "cliplistmodel.h"
#include "fixtures.h"
#include "playlistfile.h"
#include "tagfixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace volaro::fixtures;

namespace {

// Records what the main window would show, in order.
class Recorder : public ListProgress {
public:
    QStringList events;
    std::function<void()> onStatus;
    void setProgress(int percent) override { events << QString("p%1").arg(percent); }
    void setStatusText(const QString& text) override {
        events << "s" + text;
        if (onStatus)
            onStatus();
    }
    void showWebAddress() override { events << "web"; }
    QStringList progressOnly() const { return events.filter(QRegularExpression("^p")); }
};

QStringList locations(const ClipListModel& list) {
    QStringList out;
    for (int i = 1; i <= list.count(); ++i)
        out << list.text(i, ClipListModel::ColLocation);
    return out;
}

} // namespace

class TestPlaylistFile : public QObject {
    Q_OBJECT
private slots:
    void extension();
    void whatCountsAsListFile_data();
    void whatCountsAsListFile();
    void extendedHeaderAndStatusPanel();
    void lineEndings_data();
    void lineEndings();
    void crLfSplitAcrossReadChunks();
    void emptyAndBlankLines();
    void relativeEntriesKeptAsWritten();
    void listDroppedMidListIsAppended();
    void clearListResetsCurrentIndex();
    void progressValues();
    void oneLineWithoutEndingCapsAt100();
    void unopenableListChangesNothing();
    void saveWritesLocationsWithCrLf();
    void saveEmptyPlaylistCreatesEmptyFile();
    void roundTripReadsTagsAgain();
    void saveReplacesAtomically();
    void saveFailureIsReported();
    void hostileListFiles();
    void byteOrderMarkIsNotPartOfFirstLine();
    void specialFilesNeverBlock();
    void hundredThousandLines();
    void listVanishingWhileRead();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString p = path(name);
        if (!writeBytes(p, bytes))
            qFatal("cannot write fixture %s", qPrintable(p));
        return p;
    }
};

void TestPlaylistFile::extension() {
    QCOMPARE(GetExtension("list.m3u"), QString("m3u"));
    QCOMPARE(GetExtension("abc"), QString("abc"));
    QCOMPARE(GetExtension("ab"), QString());
    QCOMPARE(GetExtension(""), QString());
    QCOMPARE(GetExtension("noext"), QString("ext"));
}

void TestPlaylistFile::whatCountsAsListFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isList");
    QTest::newRow("upper") << "LIST.M3U" << true;
    QTest::newRow("lower") << "list.m3u" << true;
    QTest::newRow("mixed") << "List.M3u" << true;
    QTest::newRow("m3u8") << "list.m3u8" << false;
    QTest::newRow("pls") << "list.pls" << false;
    QTest::newRow("no dot") << "listm3u" << true;
    QTest::newRow("short") << "ab" << false;
}

void TestPlaylistFile::whatCountsAsListFile() {
    QFETCH(QString, name);
    QFETCH(bool, isList);
    const QString file = write(name, "/songs/one.mp3\r\n/songs/two.mp3\r\n");
    ClipListModel list;
    OpenFile(file, false, 0, list);
    if (isList) {
        QCOMPARE(locations(list), QStringList({"/songs/one.mp3", "/songs/two.mp3"}));
    } else {
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.text(1, 7), file);
    }
}

void TestPlaylistFile::extendedHeaderAndStatusPanel() {
    const QString file =
        write("ext.m3u", "#EXTM3U\r\n#EXTINF:215,Artist - Song\r\nC:\\Music\\song.mp3\r\n");
    ClipListModel list;
    Recorder rec;
    QVERIFY(LoadPlayList(file, false, list, &rec));
    QCOMPARE(locations(list), QStringList{"C:\\Music\\song.mp3"});
    QCOMPARE(list.text(1, 0), QString("song"));
    QCOMPARE(rec.events.filter(QRegularExpression("^s|^web")),
             QStringList({"s1", "s2", "s3", "web"}));
    QCOMPARE(rec.events.last(), QString("web"));
    QCOMPARE(rec.progressOnly().last(), QString("p0"));
}

void TestPlaylistFile::lineEndings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("a.mp3\r\nb.mp3\r\nc.mp3\r\n");
    QTest::newRow("LF") << QByteArray("a.mp3\nb.mp3\nc.mp3\n");
    QTest::newRow("CR") << QByteArray("a.mp3\rb.mp3\rc.mp3\r");
    QTest::newRow("mixed") << QByteArray("a.mp3\r\nb.mp3\nc.mp3\r");
    QTest::newRow("no last ending") << QByteArray("a.mp3\r\nb.mp3\r\nc.mp3");
}

void TestPlaylistFile::lineEndings() {
    QFETCH(QByteArray, bytes);
    ClipListModel list;
    QVERIFY(LoadPlayList(write("endings.m3u", bytes), false, list));
    QCOMPARE(locations(list), QStringList({"a.mp3", "b.mp3", "c.mp3"}));
}

void TestPlaylistFile::crLfSplitAcrossReadChunks() {
    // A CR as the last byte of one read and its LF as the first of the next is one ending.
    QByteArray first(65535, 'x');
    const QByteArray bytes = first + "\r\nsecond.mp3\r\n";
    ClipListModel list;
    QVERIFY(LoadPlayList(write("split.m3u", bytes), false, list));
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.text(1, 7).size(), 65535);
    QCOMPARE(list.text(2, 7), QString("second.mp3"));
}

void TestPlaylistFile::emptyAndBlankLines() {
    ClipListModel list;
    Recorder rec;
    QVERIFY(LoadPlayList(write("empty.m3u", ""), false, list, &rec));
    QCOMPARE(list.count(), 0);
    QCOMPARE(rec.events, QStringList({"p0", "web"}));

    QVERIFY(LoadPlayList(write("blanks.m3u", "# comment\r\none.mp3\r\n\r\ntwo.mp3\r\n\r\n"), false,
                         list));
    QCOMPARE(locations(list), QStringList({"one.mp3", "", "two.mp3", ""}));
    QCOMPARE(list.text(2, 0), QString());
    // A "#" only counts at the very start of the line.
    QVERIFY(LoadPlayList(write("hash.m3u", " #not a comment.mp3\n#skipped\n"), false, list));
    QCOMPARE(list.count(), 5);
    QCOMPARE(list.text(5, 7), QString(" #not a comment.mp3"));
}

void TestPlaylistFile::relativeEntriesKeptAsWritten() {
    ClipListModel list;
    QVERIFY(LoadPlayList(write("rel.m3u", "music\\song.mp3\n../up/two.mp3\n  spaced.mp3  \n"),
                         false, list));
    QCOMPARE(locations(list), QStringList({"music\\song.mp3", "../up/two.mp3", "  spaced.mp3  "}));
    QCOMPARE(list.text(1, 0), QString("song"));
}

void TestPlaylistFile::listDroppedMidListIsAppended() {
    ClipListModel list;
    int16_t currentIndex = 0;
    list.setCurrentIndexField(&currentIndex);
    for (const char* s : {"/a.mp3", "/b.mp3", "/c.mp3"})
        OpenFile(s, false, 0, list);
    currentIndex = 2;
    OpenFile(write("mid.m3u", "/x.mp3\n/y.mp3\n"), false, 2, list);
    QCOMPARE(locations(list), QStringList({"/a.mp3", "/b.mp3", "/c.mp3", "/x.mp3", "/y.mp3"}));
    QCOMPARE(currentIndex, int16_t(2));
    // A media file does take the position.
    OpenFile("/m.mp3", true, 2, list); // ClearList means nothing for a media file
    QCOMPARE(list.count(), 6);
    QCOMPARE(list.text(2, 7), QString("/m.mp3"));
    QCOMPARE(currentIndex, int16_t(3));
}

void TestPlaylistFile::clearListResetsCurrentIndex() {
    ClipListModel list;
    int16_t currentIndex = 0;
    list.setCurrentIndexField(&currentIndex);
    OpenFile("/a.mp3", false, 0, list);
    OpenFile("/b.mp3", false, 0, list);
    currentIndex = 2;
    OpenFile(write("clear.m3u", "/new.mp3\n"), true, 0, list);
    QCOMPARE(locations(list), QStringList{"/new.mp3"});
    QCOMPARE(currentIndex, int16_t(0));
}

void TestPlaylistFile::progressValues() {
    // L = 12 bytes; the character counter starts at 1 and counts lines without endings.
    const QString file = write("progress.m3u", "ab\n#c\r\nd.mp3");
    ClipListModel list;
    Recorder rec;
    QVERIFY(LoadPlayList(file, false, list, &rec));
    // After "ab": 3*100/12 = 25; after "#c": 5 -> 41; after "d.mp3": 10 -> 83.
    QCOMPARE(rec.events, QStringList({"p25", "s1", "p41", "s2", "p83", "s3", "p0", "web"}));
}

void TestPlaylistFile::oneLineWithoutEndingCapsAt100() {
    ClipListModel list;
    Recorder rec;
    QVERIFY(LoadPlayList(write("one.m3u", "abcd"), false, list, &rec));
    QCOMPARE(rec.events, QStringList({"p100", "s1", "p0", "web"}));
}

void TestPlaylistFile::unopenableListChangesNothing() {
    ClipListModel list;
    int16_t currentIndex = 1;
    list.setCurrentIndexField(&currentIndex);
    OpenFile("/keep.mp3", false, 0, list);
    currentIndex = 1;
    Recorder rec;
    QVERIFY(!LoadPlayList(path("missing.m3u"), true, list, &rec));
    QVERIFY(QDir(m_dir.path()).mkdir("folder.m3u"));
    QVERIFY(!LoadPlayList(path("folder.m3u"), true, list, &rec));
    OpenFile(path("missing2.M3U"), true, 0, list, &rec);
    QCOMPARE(locations(list), QStringList{"/keep.mp3"});
    QCOMPARE(currentIndex, int16_t(1));
    QVERIFY(rec.events.isEmpty());
}

void TestPlaylistFile::saveWritesLocationsWithCrLf() {
    ClipListModel list;
    for (const QString& s : {QString("/music/a.mp3"), QString("rel\\b.mp3"), QString(),
                             QString::fromUtf8("/música/ß.mp3")})
        list.ListItems().Add(list.count() + 1).setSubItems(7, s);
    const QString file = path("saved.m3u");
    QCOMPARE(SavePlayList(file, list), QString());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(),
             QString::fromUtf8("/music/a.mp3\r\nrel\\b.mp3\r\n\r\n/música/ß.mp3\r\n").toUtf8());
}

void TestPlaylistFile::saveEmptyPlaylistCreatesEmptyFile() {
    ClipListModel list;
    const QString file = path("empty-saved.m3u");
    QCOMPARE(SavePlayList(file, list), QString());
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFileInfo(file).size(), 0);
}

void TestPlaylistFile::roundTripReadsTagsAgain() {
    ClipListModel list;
    QStringList expected;
    for (int i = 0; i < 4; ++i) {
        const QString song = path(QString::fromUtf8("rt%1 ñ.mp3").arg(i));
        QVERIFY(writeTaggedSong(song, {QString("Title %1").arg(3 - i), "Art", "", "", "", 2000},
                                i % 2 ? TagKind::Id3v24Utf8 : TagKind::None));
        OpenFile(song, false, 0, list);
        expected << song;
    }
    list.setText(1, 1, "03:00"); // measured columns are not saved
    const QString file = path("roundtrip.M3U");
    QCOMPARE(SavePlayList(file, list), QString());
    ClipListModel back;
    OpenFile(file, false, 0, back);
    QCOMPARE(locations(back), expected);
    for (int i = 1; i <= 4; ++i)
        for (int c = 0; c < ClipListModel::ColumnCount; ++c)
            QCOMPARE(back.text(i, c), c == 1 ? QString() : list.text(i, c));
}

void TestPlaylistFile::saveReplacesAtomically() {
    const QString file = write("atomic.m3u", "old content\r\n");
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    ClipListModel list;
    list.ListItems().Add(1).setSubItems(7, "/new.mp3");
    QCOMPARE(SavePlayList(file, list), QString());
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
    // A new file renamed over the old one: the old list was never truncated in place.
    QVERIFY(before.st_ino != after.st_ino);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("/new.mp3\r\n"));
    QCOMPARE(QDir(m_dir.path()).entryList({"atomic.m3u*"}, QDir::Files).size(), 1);
}

void TestPlaylistFile::saveFailureIsReported() {
    ClipListModel list;
    list.ListItems().Add(1).setSubItems(7, "/x.mp3");
    const QString notADir = write("plainfile", "keep");
    QVERIFY(!SavePlayList(notADir + "/list.m3u", list).isEmpty());
    QVERIFY(QDir(m_dir.path()).mkdir("adir.m3u"));
    QVERIFY(!SavePlayList(path("adir.m3u"), list).isEmpty());
    QVERIFY(QFileInfo(path("adir.m3u")).isDir());
    QVERIFY(!SavePlayList("", list).isEmpty());
    QFile f(notADir);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep"));
}

void TestPlaylistFile::hostileListFiles() {
    ClipListModel list;
    Recorder rec;
    // Binary junk with NUL bytes and invalid UTF-8.
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 131 + 7) & 0xff);
    QVERIFY(LoadPlayList(write("junk.m3u", junk), false, list, &rec));
    const int afterJunk = list.count();
    QVERIFY(afterJunk > 0);
    QCOMPARE(rec.events.last(), QString("web"));

    QVERIFY(LoadPlayList(write("nul.m3u", QByteArray("a\0b.mp3\n\xff\xfe\xc3(.mp3\n", 16)), false,
                         list));
    QCOMPARE(list.count(), afterJunk + 2);
    QCOMPARE(list.text(afterJunk + 1, 7), QString::fromLatin1("a\0b.mp3", 7));

    // One 10 MB line.
    QVERIFY(LoadPlayList(write("long.m3u", QByteArray(10 * 1024 * 1024, 'z')), false, list));
    QCOMPARE(list.count(), afterJunk + 3);
    QCOMPARE(list.text(list.count(), 7).size(), 10 * 1024 * 1024);
}

void TestPlaylistFile::byteOrderMarkIsNotPartOfFirstLine() {
    ClipListModel list;
    QVERIFY(LoadPlayList(write("bom.m3u", "\xEF\xBB\xBF#EXTM3U\r\n/a.mp3\r\n"), false, list));
    QCOMPARE(locations(list), QStringList{"/a.mp3"});
    // Only at the very start of the file.
    QVERIFY(LoadPlayList(write("bom2.m3u", "/b.mp3\r\n\xEF\xBB\xBF/c.mp3\r\n"), false, list));
    QCOMPARE(list.text(3, 7), QString::fromUtf8("\xEF\xBB\xBF/c.mp3"));
}

void TestPlaylistFile::specialFilesNeverBlock() {
    // A FIFO named like a list or a song would block a reader waiting for a writer.
    const QString fifoList = path("pipe.m3u");
    const QString fifoSong = path("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(fifoList).constData(), 0600), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(fifoSong).constData(), 0600), 0);
    ClipListModel list;
    Recorder rec;
    OpenFile(fifoList, true, 0, list, &rec);
    QCOMPARE(list.count(), 0);
    QVERIFY(rec.events.isEmpty());
    OpenFile(fifoSong, false, 0, list, &rec);
    QCOMPARE(locations(list), QStringList{fifoSong});
    QCOMPARE(list.text(1, 0), QString("pipe"));
    OpenFile("/dev/zero", false, 0, list);
    QCOMPARE(list.count(), 2);
}

void TestPlaylistFile::hundredThousandLines() {
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "/nowhere/" + QByteArray::number(i) + ".mp3\n";
    ClipListModel list;
    Recorder rec;
    QVERIFY(LoadPlayList(write("many.m3u", bytes), false, list, &rec));
    QCOMPARE(list.count(), ClipListModel::MaxRows); // the rest are refused, reading goes on
    QCOMPARE(list.text(32767, 7), QString("/nowhere/32766.mp3"));
    QVERIFY(rec.events.contains("s100000"));
}

void TestPlaylistFile::listVanishingWhileRead() {
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes += "/gone/" + QByteArray::number(i) + ".mp3\n";
    const QString file = write("vanish.m3u", bytes);
    ClipListModel list;
    Recorder rec;
    rec.onStatus = [&] {
        if (QFile::exists(file))
            QFile::remove(file);
    };
    // The open file stays readable after its name is removed: the list is read to its end.
    QVERIFY(LoadPlayList(file, false, list, &rec));
    QVERIFY(!QFile::exists(file));
    QCOMPARE(list.count(), ClipListModel::MaxRows);
    QVERIFY(rec.events.contains("s200000"));
}

QTEST_GUILESS_MAIN(TestPlaylistFile)
#include "tst_playlistfile.moc"
