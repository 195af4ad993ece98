// How files become rows: titles, tag details of every tag form, positions, CurrentIndex,
// the row limit, and the seconds-to-text format.

#include "cliplistmodel.h"
#include "songrecord.h"
#include "tagfixtures.h"
#include "tagreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;

class TestSongRecord : public QObject {
    Q_OBJECT
private slots:
    void titleFromName_data();
    void titleFromName();
    void untaggedFileBecomesRowNamedAfterFile();
    void missingFileStillBecomesRow();
    void tagTitleWinsOverName();
    void tagForms_data();
    void tagForms();
    void yearZeroReadsEmpty();
    void nonAsciiPathAndTitle();
    void readerForgetsPreviousFile();
    void insertPositions();
    void currentIndexFollowsInsertions();
    void unboundListNeverTouchesCurrentIndex();
    void rowLimitRefusesCleanly();
    void oddRealWorldFilesStillBecomeRows();
    void segToMin_data();
    void segToMin();
    void playableLength();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestSongRecord::titleFromName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("backslashes") << "C:\\Music\\Artist - Song.mp3"
                                 << "Artist - Song";
    QTest::newRow("slashes") << "/home/dj/Music/Track One.mp3"
                             << "Track One";
    QTest::newRow("no dot looked for") << "song.flac"
                                       << "song.";
    QTest::newRow("four chars kept") << "a.mp"
                                     << "a.mp";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("both separators") << "D:\\lists/old\\track.mp3"
                                     << "track";
    QTest::newRow("five chars") << "abcde"
                                << "a";
    QTest::newRow("separator in dropped part") << "dir/x/abc"
                                               << "x";
    QTest::newRow("relative") << "music\\song.mp3"
                              << "song";
}

void TestSongRecord::titleFromName() {
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(TitleFromFilename(name), title);
}

void TestSongRecord::untaggedFileBecomesRowNamedAfterFile() {
    const QString file = path("Artist - Untagged.mp3");
    QVERIFY(writeTaggedSong(file, {}, TagKind::None));
    ClipListModel list;
    AddFileToList(file, 0, list);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.text(1, ClipListModel::ColTitle), QString("Artist - Untagged"));
    QCOMPARE(list.text(1, ClipListModel::ColLocation), file);
    for (int c : {1, 2, 3, 4, 5, 6, 8, 9})
        QVERIFY2(list.text(1, c).isEmpty(), qPrintable(QString::number(c)));
    QCOMPARE(list.key(1), QString());
}

void TestSongRecord::missingFileStillBecomesRow() {
    ClipListModel list;
    AddFileToList("C:\\Music\\Artist - Song.mp3", 0, list);
    AddFileToList("", 0, list);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.text(1, 0), QString("Artist - Song"));
    QCOMPARE(list.text(1, 7), QString("C:\\Music\\Artist - Song.mp3"));
    QCOMPARE(list.text(2, 0), QString());
    QCOMPARE(list.text(2, 7), QString());
}

void TestSongRecord::tagTitleWinsOverName() {
    const QString file = path("some other name.mp3");
    SongTags tags{"Real Title", "The Artist", "The Album", "A comment", "Jazz", 1999};
    QVERIFY(writeTaggedSong(file, tags, TagKind::Id3v24Utf8));
    ClipListModel list;
    AddFileToList(file, 0, list);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.text(1, 0), QString("Real Title"));
    QCOMPARE(list.text(1, 1), QString());
    QCOMPARE(list.text(1, 2), QString("The Artist"));
    QCOMPARE(list.text(1, 3), QString("The Album"));
    QCOMPARE(list.text(1, 4), QString("1999"));
    QCOMPARE(list.text(1, 5), QString("Jazz"));
    QCOMPARE(list.text(1, 6), QString("A comment"));
    QCOMPARE(list.text(1, 7), file);
}

void TestSongRecord::tagForms_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("rawTitle"); // the title's bytes as the file must hold them
    const QString latin = QString::fromUtf8("Café Déjà Vu");
    const QString wide = QString::fromUtf8("Ünïcødé Ω 日本の歌");
    QTest::newRow("ID3v1") << int(TagKind::Id3v1) << "v1.mp3" << latin << latin.toLatin1();
    QTest::newRow("ID3v2.2") << int(TagKind::Id3v22) << "v22.mp3" << latin << latin.toLatin1();
    QTest::newRow("ID3v2.3 Latin-1")
        << int(TagKind::Id3v23Latin1) << "v23l.mp3" << latin << latin.toLatin1();
    QByteArray utf16(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
    QTest::newRow("ID3v2.3 UTF-16") << int(TagKind::Id3v23Utf16) << "v23w.mp3" << wide << utf16;
    QTest::newRow("ID3v2.4 UTF-8")
        << int(TagKind::Id3v24Utf8) << "v24.mp3" << wide << wide.toUtf8();
    QTest::newRow("APE") << int(TagKind::Ape) << "ape.mp3" << wide << wide.toUtf8();
    QTest::newRow("WAV ID3v2") << int(TagKind::WavId3v2) << "id3.wav" << wide << QByteArray();
    QTest::newRow("WAV INFO") << int(TagKind::WavInfo) << "info.wav" << latin << QByteArray();
}

void TestSongRecord::tagForms() {
    QFETCH(int, kind);
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFETCH(QByteArray, rawTitle);
    const QString name = path(file);
    SongTags tags{title, "Artíst", "Albüm", "Cömment", "Rock", 2004};
    QVERIFY(writeTaggedSong(name, tags, TagKind(kind)));
    if (!rawTitle.isEmpty()) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll().contains(rawTitle), "fixture does not hold the expected encoding");
    }
    TagReader reader;
    reader.setFilename(name);
    QVERIFY(reader.ReadTag());
    QCOMPARE(reader.Title(), title);
    QCOMPARE(reader.Artist(), QString::fromUtf8("Artíst"));
    QCOMPARE(reader.Album(), QString::fromUtf8("Albüm"));
    QCOMPARE(reader.Year(), QString("2004"));
    QCOMPARE(reader.Genre(), QString("Rock"));
    if (TagKind(kind) != TagKind::WavInfo) // RIFF INFO has a comment field TagLib maps too
        QCOMPARE(reader.Comment(), QString::fromUtf8("Cömment"));
}

void TestSongRecord::yearZeroReadsEmpty() {
    const QString file = path("noyear.mp3");
    QVERIFY(writeTaggedSong(file, {"T", "A", "B", "C", "Pop", 0}, TagKind::Id3v23Latin1));
    ClipListModel list;
    AddFileToList(file, 0, list);
    QCOMPARE(list.text(1, 0), QString("T"));
    QCOMPARE(list.text(1, ClipListModel::ColYear), QString());
}

void TestSongRecord::nonAsciiPathAndTitle() {
    QVERIFY(QDir(m_dir.path()).mkpath(QString::fromUtf8("Ñandú 音楽")));
    const QString untagged = path(QString::fromUtf8("Ñandú 音楽/Canción ☃.mp3"));
    const QString tagged = path(QString::fromUtf8("Ñandú 音楽/Ελληνικά.mp3"));
    QVERIFY(writeTaggedSong(untagged, {}, TagKind::None));
    QVERIFY(writeTaggedSong(tagged, {QString::fromUtf8("Τραγούδι"), "", "", "", "", 0},
                            TagKind::Id3v23Utf16));
    ClipListModel list;
    AddFileToList(untagged, 0, list);
    AddFileToList(tagged, 0, list);
    QCOMPARE(list.text(1, 0), QString::fromUtf8("Canción ☃"));
    QCOMPARE(list.text(1, 7), untagged);
    // Reading the tag proves the non-ASCII path reached the file.
    QCOMPARE(list.text(2, 0), QString::fromUtf8("Τραγούδι"));
}

void TestSongRecord::readerForgetsPreviousFile() {
    const QString tagged = path("forget-tagged.mp3");
    QVERIFY(writeTaggedSong(tagged, {"Old", "Old Artist", "", "", "", 1990}, TagKind::Id3v1));
    TagReader reader;
    reader.setFilename(tagged);
    QVERIFY(reader.ReadTag());
    QCOMPARE(reader.Artist(), QString("Old Artist"));
    reader.setFilename(path("does-not-exist.mp3"));
    QVERIFY(!reader.ReadTag());
    QCOMPARE(reader.Title(), QString());
    QCOMPARE(reader.Artist(), QString());
    QCOMPARE(reader.Year(), QString());
}

void TestSongRecord::insertPositions() {
    ClipListModel list;
    AddFileToList("/x/b.mp3", 0, list); // [b]
    AddFileToList("/x/a.mp3", 1, list); // [a b]
    AddFileToList("/x/d.mp3", 3, list); // [a b d]
    AddFileToList("/x/c.mp3", 3, list); // [a b c d]
    QCOMPARE(list.count(), 4);
    for (int i = 1; i <= 4; ++i)
        QCOMPARE(list.text(i, 0), QString(QChar('a' + i - 1)));
    // Out of range: no row.
    AddFileToList("/x/e.mp3", 6, list);
    AddFileToList("/x/e.mp3", -1, list);
    QCOMPARE(list.count(), 4);
}

void TestSongRecord::currentIndexFollowsInsertions() {
    ClipListModel list;
    int16_t currentIndex = 0;
    list.setCurrentIndexField(&currentIndex);
    for (int i = 0; i < 5; ++i)
        AddFileToList(QString("/m/song%1.mp3").arg(i + 1), 0, list);
    QCOMPARE(currentIndex, int16_t(0)); // nothing playing: appends leave it
    currentIndex = 3;
    AddFileToList("/m/at3.mp3", 3, list);
    QCOMPARE(currentIndex, int16_t(4));
    QCOMPARE(list.text(4, 0), QString("song3")); // still the same song
    AddFileToList("/m/at5.mp3", 5, list);
    QCOMPARE(currentIndex, int16_t(4));
    AddFileToList("/m/end.mp3", 0, list);
    QCOMPARE(currentIndex, int16_t(4));
    AddFileToList("/m/first.mp3", 1, list);
    QCOMPARE(currentIndex, int16_t(5));
    QCOMPARE(list.text(5, 0), QString("song3"));
    AddFileToList("/m/bad.mp3", 99, list); // refused: nothing moves
    QCOMPARE(currentIndex, int16_t(5));
}

void TestSongRecord::unboundListNeverTouchesCurrentIndex() {
    int16_t currentIndex = 2;
    ClipListModel playlist;
    playlist.setCurrentIndexField(&currentIndex);
    ClipListModel results; // the search window's list
    for (int i = 0; i < 3; ++i) {
        AddFileToList(QString("/r/%1.mp3").arg(i), 1, results);
        AddFileToList(QString("/r/%1.mp3").arg(i), 0, results);
    }
    QCOMPARE(results.count(), 6);
    QCOMPARE(currentIndex, int16_t(2));
}

void TestSongRecord::rowLimitRefusesCleanly() {
    ClipListModel list;
    int16_t currentIndex = 100;
    list.setCurrentIndexField(&currentIndex);
    for (int i = 1; i <= ClipListModel::MaxRows; ++i) {
        ClipRow row;
        row.texts[0] = QString::number(i);
        QVERIFY(list.insertRow(i, std::move(row)));
    }
    QCOMPARE(list.count(), 32767);
    currentIndex = 100;
    AddFileToList("/full/one.mp3", 1, list);
    AddFileToList("/full/two.mp3", 0, list);
    QCOMPARE(list.count(), 32767);
    QCOMPARE(currentIndex, int16_t(100));
    QCOMPARE(list.text(1, 0), QString("1"));
    QCOMPARE(list.text(32767, 0), QString("32767"));
    QVERIFY(!list.ListItems().Add(1, "more"));
    // Room again after one removal.
    list.removeRow(32767);
    AddFileToList("/full/three.mp3", 0, list);
    QCOMPARE(list.count(), 32767);
    QCOMPARE(list.text(32767, 0), QString("three"));
}

void TestSongRecord::oddRealWorldFilesStillBecomeRows() {
    const QByteArray root = qgetenv("VOLARO_TESTDATA");
    QVERIFY2(!root.isEmpty(), "VOLARO_TESTDATA is not set");
    const QDir dir(QString::fromLocal8Bit(root) + "/taglib");
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

void TestSongRecord::segToMin_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << "00:00";
    QTest::newRow("7") << 7.0 << "00:07";
    QTest::newRow("59.9 truncates") << 59.9 << "00:59";
    QTest::newRow("60") << 60.0 << "01:00";
    QTest::newRow("215.7") << 215.7 << "03:35";
    QTest::newRow("3599") << 3599.0 << "59:59";
    QTest::newRow("3600 no hours") << 3600.0 << "60:00";
    QTest::newRow("6000") << 6000.0 << "100:00";
    QTest::newRow("-90") << -90.0 << "-01:-30";
    QTest::newRow("-30") << -30.0 << "00:-30";
    QTest::newRow("-0.5") << -0.5 << "00:00";
    QTest::newRow("huge") << 6.0e6 << "100000:00";
    QTest::newRow("nan") << qQNaN() << "00:00";
}

void TestSongRecord::segToMin() {
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(SegToMin(seconds), text);
}

void TestSongRecord::playableLength() {
    QCOMPARE(PlayableLength(200, 5, 10), 185);
    QCOMPARE(PlayableLength(10, 5, 10), 10); // start not before end: the whole song
    QCOMPARE(PlayableLength(15, 5, 10), 15);
    QCOMPARE(PlayableLength(16, 5, 10), 1);
    QCOMPARE(PlayableLength(0, 0, 0), 0);
}

QTEST_GUILESS_MAIN(TestSongRecord)
#include "tst_songrecord.moc"
