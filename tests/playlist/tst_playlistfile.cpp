// List files: what is one, line endings, other programs' lists, progress, saving, bad input.

#include "base/filename.h"
#include "playlist/playlistedit.h"
#include "support/playlisttest.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace volaro::fixtures;
using namespace volaro::playlist;
using volaro::base::fileNameFromBytes;

class TestPlaylistFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // The file written, or no path (so that reading it fails) when it cannot be.
    QString write(const QString& name, const QByteArray& bytes) {
        return writeBytes(path(name), bytes) ? path(name) : QString();
    }

private slots:
    void listFilesLinesAndEndings() {
        const std::tuple<const char*, bool, const char*> names[] = {
            {"List.M3u", true, "M3u"}, {"List.m3U8", true, "3U8"}, {"listm3u8", false, "3u8"},
            {"listm3u", true, "m3u"},  {"abc", false, "abc"},      {"ab", false, ""}};
        for (const auto& [name, isList, extension] : names) {
            const QString file = write(name, "/songs/one.mp3\r\n/songs/two.mp3\r\n");
            ClipListModel list;
            OpenFile(file, false, 0, list);
            QCOMPARE(locations(list), isList ? QStringList({"/songs/one.mp3", "/songs/two.mp3"})
                                             : QStringList{file});
            QCOMPARE(GetExtension(name), QString(extension));
        }

        const QStringList abc{"a.mp3", "b.mp3", "c.mp3"};
        const QByteArray longLine(65535, 'x'), huge(10 * 1024 * 1024, 'z');
        // "#" counts only at a line's very start; byte-order marks go wherever lists were joined;
        // a CR ending one read and an LF starting the next are one ending. Junk: the fuzz target.
        const std::pair<QByteArray, QStringList> rows[] = {
            {"a.mp3\r\nb.mp3\nc.mp3\r", abc},
            {"a.mp3\r\nb.mp3\r\nc.mp3", abc},
            {"\xEF\xBB\xBF#EXTM3U\r\na.mp3\r\nb.mp3\r\nc.mp3\r\n", abc},
            {"# comment\r\none.mp3\r\n\r\ntwo.mp3\r\n\r\n", {"one.mp3", "", "two.mp3", ""}},
            {" #not.mp3\n\xEF\xBB\xBF#skipped\n\xEF\xBB\xBF\xEF\xBB\xBF/c.mp3\n",
             {" #not.mp3", "/c.mp3"}},
            {longLine + "\r\nsecond.mp3\r\n", {longLine, "second.mp3"}},
            {huge, {huge}}};
        for (const auto& [bytes, expected] : rows) {
            ClipListModel list;
            QVERIFY(LoadPlayList(write("lines.m3u", bytes), false, list));
            QVERIFY2(locations(list) == expected, bytes.left(80).constData());
            // A blank line's row has no title either.
            QCOMPARE(list.text(list.count(), 0).isEmpty(), expected.last().isEmpty());
        }
    }

    void listsOfOtherPrograms() {
        const QString root = m_dir.filePath("other");
        for (const char* song : {"Music/Album/01 intro.wav", "Music/song.wav", "Music/café.wav",
                                 "Música/Ñandú 東京.wav"})
            QVERIFY(writeBytes(root + u'/' + QString::fromUtf8(song), "RIFF"));
        QVERIFY(QDir::setCurrent(m_dir.path())); // relative entries do not depend on it
        // The list file, its bytes and the Locations read; "@" stands for the songs' folder.
        const std::tuple<const char*, QByteArray, QStringList> lists[] = {
            {"ext.m3u",
             "#EXTM3U\r\n#EXTINF:2,Intro\r\nMusic/Album/01 intro.wav\r\n"
             "#EXTINF:2,Song\r\n./Music/../Music/song.wav\r\nMusic/gone.wav\r\nMusic\r\n",
             {"@/Music/Album/01 intro.wav", "@/Music/song.wav", "Music/gone.wav", "Music"}},
            {"uris.m3u",
             "file://@/Music/Album/01%20intro.wav\nFILE://localhost@/Music/song.wav\n"
             "file:///gone/a%20b.wav\nhttp://radio.example/live.mp3\n"
             "file://server/share/x.wav\nfile:///x%0Ay%E9.wav\nfile:///x%00y.wav\n",
             {"@/Music/Album/01 intro.wav", "@/Music/song.wav", "/gone/a b.wav",
              "http://radio.example/live.mp3", "file://server/share/x.wav",
              fileNameFromBytes("/x\ny\xE9.wav"), "file:///x%00y.wav"}},
            {"lists/win.m3u",
             "..\\Music\\song.wav\r\n@\\Music\\Album\\01 intro.wav\r\n"
             "C:\\Music\\song.wav\r\nMusic\\song.wav\r\n",
             {"@/Music/song.wav", "@/Music/Album/01 intro.wav", "C:\\Music\\song.wav",
              "Music\\song.wav"}},
            {"names.M3U8",
             "Música/Ñandú 東京.wav\ncaf\xE9.wav\n", // not read as Windows-1252
             {QString::fromUtf8("@/Música/Ñandú 東京.wav"), fileNameFromBytes("caf\xE9.wav")}},
            {"old.m3u", // ... when that names a file; otherwise the name's bytes are kept
             "Music\\caf\xE9.wav\r\n\x80 \x93quoted\x94.wav\r\n",
             {QString::fromUtf8("@/Music/café.wav"),
              fileNameFromBytes("\x80 \x93quoted\x94.wav")}}};
        for (auto [name, bytes, expected] : lists) {
            const QString file = root + u'/' + name;
            QVERIFY(writeBytes(file, bytes.replace('@', root.toUtf8())));
            ClipListModel list;
            OpenFile(file, false, 0, list);
            QCOMPARE(locations(list), expected.replaceInStrings("@", root));
        }
    }

    void progressAndStatus() {
        // 12 bytes; the counter starts at 1 and counts lines without endings: "ab" 3*100/12 = 25,
        // "#c" 5 -> 41, "d.mp3" 10 -> 83. One line caps at 100.
        const std::pair<const char*, QStringList> rows[] = {
            {"ab\n#c\r\nd.mp3", {"p25", "s1", "p41", "s2", "p83", "s3", "p0", "web"}},
            {"abcd", {"p100", "s1", "p0", "web"}},
            {"", {"p0", "web"}}};
        for (const auto& [bytes, events] : rows) {
            ClipListModel list;
            Recorder rec;
            QVERIFY(LoadPlayList(write("progress.m3u", bytes), false, list, &rec));
            QCOMPARE(rec.events, events);
        }
    }

    void openingLists() {
        ClipListModel list;
        for (const char* s : {"/a.mp3", "/b.mp3", "/c.mp3"})
            OpenFile(s, false, 0, list);
        list.setPlayingRow(2);
        OpenFile("/m.mp3", true, 2, list); // ClearList means nothing for a media file
        // A list that cannot be opened changes and shows nothing; a FIFO must not block.
        const QString fifoList = path("pipe.m3u");
        QCOMPARE(::mkfifo(QFile::encodeName(fifoList).constData(), 0600), 0);
        Recorder rec;
        QVERIFY(QDir(m_dir.path()).mkdir("folder.m3u"));
        QVERIFY(!LoadPlayList(path("folder.m3u"), true, list, &rec));
        OpenFile(path("missing2.M3U"), true, 0, list, &rec);
        OpenFile(fifoList, true, 0, list, &rec);
        QCOMPARE(locations(list), QStringList({"/a.mp3", "/m.mp3", "/b.mp3", "/c.mp3"}));
        QCOMPARE(list.playingRow(), 3);
        QVERIFY(rec.events.isEmpty());
        OpenFile(write("clear.m3u", "/new.mp3\n"), true, 0, list);
        QCOMPARE(locations(list), QStringList{"/new.mp3"});
        QCOMPARE(list.playingRow(), 0);
    }

    void save() {
        ClipListModel list;
        QCOMPARE(SavePlayList(path("empty-saved.m3u"), list), QString());
        QCOMPARE(readBytes(path("empty-saved.m3u")), QByteArray());
        for (const QString& s : {QString("/music/a.mp3"), QString("rel\\b.mp3"), QString(),
                                 QString::fromUtf8("/música/ß.mp3"), QString("/x\ny\r.mp3"),
                                 fileNameFromBytes("caf\xE9.mp3")})
            addRow(list, {}, s);
        // A new file renamed over the old one: the old list is never truncated in place.
        const QString file = write("saved.m3u", "old content\r\n");
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(SavePlayList(file, list), QString());
        QCOMPARE(old.readAll(), QByteArray("old content\r\n"));
        // Line breaks and bytes that are not UTF-8 go as file URIs; all reads back as it was.
        QCOMPARE(readBytes(file),
                 QString::fromUtf8("/music/a.mp3\r\nrel\\b.mp3\r\n\r\n/música/ß.mp3"
                                   "\r\nfile:///x%0Ay%0D.mp3\r\nfile:caf%E9.mp3\r\n")
                     .toUtf8());
        QCOMPARE(QDir(m_dir.path()).entryList({"saved.m3u*"}, QDir::Files).size(), 1);
        ClipListModel back;
        QVERIFY(LoadPlayList(file, false, back));
        QCOMPARE(locations(back), locations(list));
        QCOMPARE(list.data(list.index(5, ClipListModel::ColLocation)), QVariant("café.mp3"));

        // Failures are reported and leave what was there.
        const QString notADir = write("plainfile", "keep");
        QVERIFY(!SavePlayList(notADir + "/list.m3u", list).isEmpty());
        QVERIFY(QDir(m_dir.path()).mkdir("adir.m3u"));
        QVERIFY(!SavePlayList(path("adir.m3u"), list).isEmpty());
        QVERIFY(!SavePlayList("", list).isEmpty());
        QCOMPARE(readBytes(notADir), QByteArray("keep"));
        const QByteArray saved = readBytes(file);
        {
            FileSizeLimit full(10); // the disk fills up after 10 bytes
            QCOMPARE(SavePlayList(file, list), QString("File too large"));
        }
        QCOMPARE(readBytes(file), saved);
    }

    void hundredThousandLinesVanishingWhileRead() {
        QByteArray bytes;
        for (int i = 0; i < 100000; ++i)
            bytes += "/gone/" + QByteArray::number(i) + ".mp3\n";
        const QString file = write("vanish.m3u", bytes);
        ClipListModel list;
        Recorder rec;
        rec.onStatus = [&] { QFile::remove(file); };
        // The open file stays readable after its name is removed: the list is read to its end.
        QVERIFY(LoadPlayList(file, false, list, &rec));
        QCOMPARE(list.count(), ClipListModel::MaxRows); // the rest are refused, reading goes on
        QVERIFY(!addRow(list, "more"));                 // the list itself refuses another row too
        QCOMPARE(list.text(32767, 7), QString("/gone/32766.mp3"));
        list.setPlayingRow(100);
        QVERIFY(rec.events.contains("s100000"));
        // The panel then says what is missing instead of showing the web address.
        QCOMPARE(rec.events.mid(rec.events.size() - 2),
                 QStringList({"p0", "s67,233 entries were not added: a list holds at most "
                                    "32,767 songs"}));
        // So does a drop on the full list: comments are no entries, media files count too.
        DropFiles(list, {write("more.m3u", "#EXTM3U\n/a.mp3\n/b.mp3\n"), "/c.mp3"}, 1, &rec);
        QCOMPARE(rec.events.last(), "s3 entries were not added: a list holds at most 32,767 songs");
        DropFiles(list, {"/d.mp3"}, 1, &rec);
        QCOMPARE(rec.events.last(), "s1 entry was not added: a list holds at most 32,767 songs");
        QCOMPARE(list.playingRow(), 100); // refused rows move nothing
        list.setSelected(32767, true);
        list.removeSelected(); // room again after one removal
        OpenFile("/full/three.mp3", false, 0, list);
        QCOMPARE(std::pair(list.count(), list.text(32767, 0)), std::pair(32767, QString("three")));
    }
};

QTEST_GUILESS_MAIN(TestPlaylistFile)
#include "tst_playlistfile.moc"
