// How files become rows: titles, tag details of every tag form, positions, CurrentIndex,
// the row limit, and the seconds-to-text format.

#include "playlisttest.h"
#include "songrecord.h"
#include "tagfixtures.h"
#include "tagreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;

class TestSongRecord : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void titleFromName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        const char* rows[][2] = {{"C:\\Music\\Artist - Song.mp3", "Artist - Song"},
                                 {"/home/dj/Music/Track One.mp3", "Track One"},
                                 {"song.flac", "song."}, // no dot is looked for
                                 {"a.mp", "a.mp"},       // four characters are kept
                                 {"", ""},
                                 {"D:\\lists/old\\track.mp3", "track"},
                                 {"abcde", "a"},
                                 {"dir/x/abc", "x"}, // separator in the dropped part
                                 {"music\\song.mp3", "song"}};
        for (const auto& r : rows)
            QTest::addRow("'%s'", r[0]) << QString(r[0]) << QString(r[1]);
    }

    void titleFromName() {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(TitleFromFilename(name), title);
    }

    void untaggedOrMissingFileBecomesRowNamedAfterFile() {
        const QString file = path("Artist - Untagged.mp3");
        QVERIFY(writeTaggedSong(file, {}, TagKind::None));
        ClipListModel list;
        AddFileToList(file, 0, list);
        AddFileToList("C:\\Music\\Artist - Song.mp3", 0, list);
        AddFileToList("", 0, list);
        QCOMPARE(column(list), QStringList({"Artist - Untagged", "Artist - Song", ""}));
        QCOMPARE(locations(list), QStringList({file, "C:\\Music\\Artist - Song.mp3", ""}));
        for (int c : {1, 2, 3, 4, 5, 6, 8, 9})
            QVERIFY2(list.text(1, c).isEmpty(), qPrintable(QString::number(c)));
    }

    void tagForms_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("rawTitle"); // the title's bytes as the file must hold them
        const QString latin = QString::fromUtf8("Café Déjà Vu");
        const QString wide = QString::fromUtf8("Ünïcødé Ω 日本の歌");
        const QByteArray utf16(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
        QTest::newRow("ID3v1") << int(TagKind::Id3v1) << "v1.mp3" << latin << latin.toLatin1();
        QTest::newRow("ID3v2.2") << int(TagKind::Id3v22) << "v22.mp3" << latin << latin.toLatin1();
        QTest::newRow("ID3v2.3 Latin-1")
            << int(TagKind::Id3v23Latin1) << "v23l.mp3" << latin << latin.toLatin1();
        QTest::newRow("ID3v2.3 UTF-16") << int(TagKind::Id3v23Utf16) << "v23w.mp3" << wide << utf16;
        QTest::newRow("ID3v2.4 UTF-8")
            << int(TagKind::Id3v24Utf8) << "v24.mp3" << wide << wide.toUtf8();
        QTest::newRow("APE") << int(TagKind::Ape) << "ape.mp3" << wide << wide.toUtf8();
        QTest::newRow("WAV ID3v2") << int(TagKind::WavId3v2) << "id3.wav" << wide << QByteArray();
        QTest::newRow("WAV INFO") << int(TagKind::WavInfo) << "info.wav" << latin << QByteArray();
        // The content decides, not the name.
        QTest::newRow("ID3v1 named .wav")
            << int(TagKind::Id3v1) << "v1.wav" << latin << QByteArray();
        QTest::newRow("WAV INFO named .mp3")
            << int(TagKind::WavInfo) << "info.mp3" << latin << QByteArray();
    }

    // The tag's title wins over the file name; the other fields fill their columns.
    void tagForms() {
        QFETCH(int, kind);
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QByteArray, rawTitle);
        const QString name = path(file);
        QVERIFY(writeTaggedSong(name, {title, "Artíst", "Albüm", "Cömment", "Rock", 2004},
                                TagKind(kind)));
        if (!rawTitle.isEmpty()) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.readAll().contains(rawTitle), "fixture does not hold the expected encoding");
        }
        ClipListModel list;
        AddFileToList(name, 0, list);
        QCOMPARE(list.count(), 1);
        QStringList row;
        for (int c = 0; c < ClipListModel::ColumnCount; ++c)
            row << list.text(1, c);
        // RIFF INFO has a comment field TagLib maps too, so that one is left out there.
        if (TagKind(kind) == TagKind::WavInfo)
            row[6] = QString::fromUtf8("Cömment");
        QCOMPARE(row,
                 QStringList({title, "", QString::fromUtf8("Artíst"), QString::fromUtf8("Albüm"),
                              "2004", "Rock", QString::fromUtf8("Cömment"), name, "", ""}));
    }

    void yearZeroReadsEmpty() {
        const QString file = path("noyear.mp3");
        QVERIFY(writeTaggedSong(file, {"T", "A", "B", "C", "Pop", 0}, TagKind::Id3v23Latin1));
        ClipListModel list;
        AddFileToList(file, 0, list);
        QCOMPARE(list.text(1, 0), QString("T"));
        QCOMPARE(list.text(1, ClipListModel::ColYear), QString());
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
        QCOMPARE(column(list),
                 QStringList({QString::fromUtf8("Canción ☃"), QString::fromUtf8("Τραγούδι")}));
        QCOMPARE(list.text(1, 7), untagged);
    }

    void readerForgetsPreviousFile() {
        const QString tagged = path("forget-tagged.mp3");
        QVERIFY(writeTaggedSong(tagged, {"Old", "Old Artist", "", "", "", 1990}, TagKind::Id3v1));
        TagReader reader;
        reader.setFilename(tagged);
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
        AddFileToList("/m/at3.mp3", 3, list);
        QCOMPARE(list.playingRow(), 4);
        QCOMPARE(list.text(4, 0), QString("c")); // still the same song
        AddFileToList("/m/at5.mp3", 5, list);
        AddFileToList("/m/end.mp3", 0, list);
        QCOMPARE(list.playingRow(), 4);
        AddFileToList("/m/first.mp3", 1, list);
        QCOMPARE(list.playingRow(), 5);
        QCOMPARE(list.text(5, 0), QString("c"));
        AddFileToList("/m/bad.mp3", 99, list); // refused: nothing moves
        QCOMPARE(list.playingRow(), 5);
        // A list not bound to CurrentIndex (the search window's) never touches it.
        ClipListModel results;
        for (int i = 0; i < 3; ++i) {
            AddFileToList(QString("/r/%1.mp3").arg(i), 1, results);
            AddFileToList(QString("/r/%1.mp3").arg(i), 0, results);
        }
        QCOMPARE(results.count(), 6);
        QCOMPARE(list.playingRow(), 5);
    }

    void rowLimitRefusesCleanly() {
        ClipListModel list;
        for (int i = 1; i <= ClipListModel::MaxRows; ++i) {
            ClipRow row;
            row.texts[0] = QString::number(i);
            QVERIFY(list.insertRow(i, std::move(row)));
        }
        QCOMPARE(list.count(), 32767);
        list.setPlayingRow(100);
        AddFileToList("/full/one.mp3", 1, list);
        AddFileToList("/full/two.mp3", 0, list);
        QCOMPARE(list.count(), 32767);
        QCOMPARE(list.playingRow(), 100);
        QCOMPARE(list.text(1, 0), QString("1"));
        QCOMPARE(list.text(32767, 0), QString("32767"));
        QVERIFY(!addRow(list, "more"));
        list.removeRow(32767); // room again after one removal
        AddFileToList("/full/three.mp3", 0, list);
        QCOMPARE(list.count(), 32767);
        QCOMPARE(list.text(32767, 0), QString("three"));
    }

    void oddRealWorldFilesStillBecomeRows() {
        if (volaro::fixtures::oddMediaDir().isEmpty())
            QSKIP(volaro::fixtures::SkipNoCorpus);
        const QDir dir(volaro::fixtures::oddMediaDir());
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 10, qPrintable("too few test media in " + dir.path()));
        ClipListModel list;
        for (const QString& f : files)
            AddFileToList(dir.filePath(f), 0, list);
        QCOMPARE(list.count(), files.size());
        for (int i = 1; i <= list.count(); ++i) {
            QCOMPARE(list.text(i, 7), dir.filePath(files[i - 1]));
            QVERIFY(!list.text(i, 0).isEmpty());
        }
    }

    void segToMin_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        const std::pair<double, const char*> rows[] = {
            {0, "00:00"},      {7, "00:07"},    {59.9, "00:59"}, {60, "01:00"},
            {215.7, "03:35"},  {3599, "59:59"}, {3600, "60:00"}, {6000, "100:00"},
            {-90, "-01:-30"},  {-30, "00:-30"}, {-0.5, "00:00"}, {6.0e6, "100000:00"},
            {qQNaN(), "00:00"}};
        for (const auto& [seconds, text] : rows)
            QTest::addRow("%g", seconds) << seconds << QString(text);
    }

    void segToMin() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(SegToMin(seconds), text);
    }
};

QTEST_GUILESS_MAIN(TestSongRecord)
#include "tst_songrecord.moc"
