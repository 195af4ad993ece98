// How files become rows: titles, every tag form, positions, the row limit, times as text.

#include "base/timetext.h"
#include "playlist/songrecord.h"
#include "playlist/tagreader.h"
#include "support/playlisttest.h"
#include "support/tagfixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;
using namespace volaro::playlist;
using volaro::base::SegToMin;

class TestSongRecord : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void titlesAndTimesAsText() {
        // No dot is looked for, four characters are kept, a separator may be in the dropped part.
        const char* rows[][2] = {{"C:\\Music\\Artist - Song.mp3", "Artist - Song"},
                                 {"/home/dj/Music/Track One.mp3", "Track One"},
                                 {"song.flac", "song."},
                                 {"a.mp", "a.mp"},
                                 {"D:\\lists/old\\track.mp3", "track"},
                                 {"dir/x/abc", "x"}};
        for (const auto& r : rows)
            QCOMPARE(TitleFromFilename(r[0]), QString(r[1]));
        const std::pair<double, const char*> times[] = {
            {7, "00:07"},     {59.9, "00:59"}, {60, "01:00"},   {6000, "100:00"},
            {-90, "-01:-30"}, {-30, "00:-30"}, {-0.5, "00:00"}, {qQNaN(), "00:00"}};
        for (const auto& [seconds, text] : times)
            QCOMPARE(SegToMin(seconds), QString(text));
    }

    // The tag's title wins over the file name; the other fields fill their columns.
    void tagForms() {
        const QString latin = QString::fromUtf8("Café Déjà Vu");
        const QString wide = QString::fromUtf8("Ünïcødé Ω 日本の歌");
        const QByteArray utf16(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
        // The title's bytes as the file must hold them. Names that lie: the content decides.
        const std::tuple<TagKind, const char*, QString, QByteArray> rows[] = {
            {TagKind::Id3v1, "v1.mp3", latin, latin.toLatin1()},
            {TagKind::Id3v22, "v22.mp3", latin, latin.toLatin1()},
            {TagKind::Id3v23Latin1, "v23l.mp3", latin, latin.toLatin1()},
            {TagKind::Id3v23Utf16, "v23w.mp3", wide, utf16},
            {TagKind::Id3v24Utf8, "v24.mp3", wide, wide.toUtf8()},
            {TagKind::Ape, "ape.mp3", wide, wide.toUtf8()},
            {TagKind::WavId3v2, "id3.wav", wide, {}},
            {TagKind::WavInfo, "info.wav", latin, {}},
            {TagKind::Id3v1, "v1.wav", latin, {}},
            {TagKind::WavInfo, "info.mp3", latin, {}},
            {TagKind::Mp4Aac, "aac.m4a", wide, wide.toUtf8()},
            {TagKind::Mp4Alac, "alac.mp3", wide, wide.toUtf8()},
            {TagKind::Opus, "song.opus", wide, wide.toUtf8()},
            {TagKind::Wma, "song.wma", wide, utf16},
            {TagKind::WavPack, "song.wv", wide, wide.toUtf8()}};
        for (const auto& [kind, file, title, rawTitle] : rows) {
            const QString name = path(file);
            QVERIFY(
                writeTaggedSong(name, {title, "Artíst", "Albüm", "Cömment", "Rock", 2004}, kind));
            QVERIFY2(readBytes(name).contains(rawTitle), file); // the fixture's own encoding
            ClipListModel list;
            AddFileToList(name, 0, list);
            QCOMPARE(list.count(), 1);
            QStringList row;
            for (int c = 0; c < ClipListModel::ColumnCount; ++c)
                row << list.text(1, c);
            // RIFF INFO has a comment field TagLib maps too, so that one is left out there.
            if (kind == TagKind::WavInfo)
                row[6] = QString::fromUtf8("Cömment");
            QCOMPARE(row, QStringList({title, "", QString::fromUtf8("Artíst"),
                                       QString::fromUtf8("Albüm"), "2004", "Rock",
                                       QString::fromUtf8("Cömment"), name, "", ""}));
        }
    }

    void nonAsciiPathAndTitle() {
        QVERIFY(QDir(m_dir.path()).mkpath(QString::fromUtf8("Ñandú 音楽")));
        const QString untagged = path(QString::fromUtf8("Ñandú 音楽/Canción ☃.mp3"));
        const QString tagged = path(QString::fromUtf8("Ñandú 音楽/Ελληνικά.mp3"));
        QVERIFY(writeTaggedSong(untagged, {}, TagKind::None));
        QVERIFY(writeTaggedSong(tagged, {QString::fromUtf8("Τραγούδι"), "", "", "", "", 0},
                                TagKind::Id3v23Utf16));
        ClipListModel list;
        AddFileToList(untagged, 0, list);
        AddFileToList(tagged, 0, list); // reading its tag proves the path reached the file
        AddFileToList("", 0, list);
        QCOMPARE(column(list),
                 QStringList({QString::fromUtf8("Canción ☃"), QString::fromUtf8("Τραγούδι"), ""}));
        QCOMPARE(list.text(1, 7), untagged);
        for (int c : {1, 2, 3, 4, 5, 6, 8, 9}) // untagged: only the title and Location
            QVERIFY2(list.text(1, c).isEmpty(), qPrintable(QString::number(c)));
        QCOMPARE(list.text(2, ClipListModel::ColYear), QString()); // year 0 reads empty

        // A reader used again forgets the previous file's tag.
        const QString old = path("old.mp3");
        QVERIFY(writeTaggedSong(old, {"Old", "Old Artist", "", "", "", 1990}, TagKind::Id3v1));
        TagReader reader;
        reader.setFilename(old);
        QVERIFY(reader.ReadTag());
        QCOMPARE(reader.Artist(), QString("Old Artist"));
        reader.setFilename(path("does-not-exist.mp3"));
        QVERIFY(!reader.ReadTag());
        QCOMPARE(reader.Title() + reader.Artist() + reader.Year(), QString());
    }

    void insertPositionsAndCurrentIndex() {
        ClipListModel list;
        AddFileToList("/x/b.mp3", 0, list); // [b]
        AddFileToList("/x/a.mp3", 1, list); // [a b]
        AddFileToList("/x/d.mp3", 3, list); // [a b d]
        AddFileToList("/x/c.mp3", 3, list); // [a b c d]
        AddFileToList("/x/e.mp3", 6, list); // out of range: no row
        AddFileToList("/x/e.mp3", -1, list);
        QCOMPARE(column(list), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(list.playingRow(), 0); // nothing playing: left alone
        list.setPlayingRow(3);
        // At the playing row or before it the row moves down with its song; after it, not.
        const std::pair<int, int> steps[] = {{3, 4}, {5, 4}, {0, 4}, {1, 5}, {99, 5}};
        for (auto [at, row] : steps) {
            AddFileToList("/m/new.mp3", at, list);
            QCOMPARE(list.playingRow(), row);
        }
        QCOMPARE(list.text(5, 0), QString("c"));
    }
};

QTEST_GUILESS_MAIN(TestSongRecord)
#include "tst_songrecord.moc"
