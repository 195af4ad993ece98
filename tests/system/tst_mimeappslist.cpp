// Editing mimeapps.list: our three types end up in [Default Applications] and every other
// byte of the file stays as it was.

#include "mimeappslist.h"

#include <QTest>

using volaro::system::withDefaultApplication;

namespace {

const QByteArrayList Types = {"audio/mpeg", "audio/x-mpegurl", "audio/mpegurl"};
const QByteArray Id = "volaro.desktop";

QByteArray edit(const QByteArray& in) {
    return withDefaultApplication(in, Types, Id);
}

} // namespace

class TestMimeAppsList : public QObject {
    Q_OBJECT
private slots:
    void edits_data();
    void edits();
    void secondRunChangesNothing_data() { edits_data(); }
    void secondRunChangesNothing();
    void foreignBytesSurvive();
    void repeatedDefaultGroup();
    void typeOnlyInRepeatedGroup();
};

void TestMimeAppsList::edits_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray ours = "audio/mpeg=volaro.desktop;\n"
                            "audio/x-mpegurl=volaro.desktop;\n"
                            "audio/mpegurl=volaro.desktop;\n";

    QTest::newRow("no file yet") << QByteArray() << "[Default Applications]\n" + ours;

    QTest::newRow("other group, no final newline")
        << QByteArray("[Added Associations]\ntext/plain=gedit.desktop;")
        << "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n" + ours;

    QTest::newRow("other group, blank line at the end")
        << QByteArray("[Added Associations]\ntext/plain=gedit.desktop;\n\n")
        << "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n" + ours;

    QTest::newRow("replace in place, add missing at the group's end")
        << QByteArray("[Default Applications]\n"
                      "text/html=firefox.desktop\n"
                      "audio/mpeg=vlc.desktop;rhythmbox.desktop;\n"
                      "image/png=eog.desktop;\n"
                      "\n"
                      "[Added Associations]\n"
                      "audio/mpeg=vlc.desktop;\n")
        << QByteArray("[Default Applications]\n"
                      "text/html=firefox.desktop\n"
                      "audio/mpeg=volaro.desktop;\n"
                      "image/png=eog.desktop;\n"
                      "audio/x-mpegurl=volaro.desktop;\n"
                      "audio/mpegurl=volaro.desktop;\n"
                      "\n"
                      "[Added Associations]\n"
                      "audio/mpeg=vlc.desktop;\n");

    QTest::newRow("blanks around the equals sign, similar keys untouched")
        << QByteArray("[Default Applications]\n"
                      "  audio/mpegurl = vlc.desktop;\n"
                      "audio/mpeg-extra=other.desktop;\n"
                      "#audio/mpeg=commented.desktop;\n")
        << QByteArray("[Default Applications]\n"
                      "audio/mpegurl=volaro.desktop;\n"
                      "audio/mpeg-extra=other.desktop;\n"
                      "#audio/mpeg=commented.desktop;\n"
                      "audio/mpeg=volaro.desktop;\n"
                      "audio/x-mpegurl=volaro.desktop;\n");

    QTest::newRow("CR LF endings kept")
        << QByteArray("[Default Applications]\r\naudio/mpeg=vlc.desktop;\r\n")
        << QByteArray("[Default Applications]\r\n"
                      "audio/mpeg=volaro.desktop;\r\n"
                      "audio/x-mpegurl=volaro.desktop;\r\n"
                      "audio/mpegurl=volaro.desktop;\r\n");

    QTest::newRow("already ours, no final newline")
        << QByteArray("[Default Applications]\n"
                      "audio/mpeg=volaro.desktop;\n"
                      "audio/x-mpegurl=volaro.desktop;\n"
                      "audio/mpegurl=volaro.desktop;")
        << QByteArray("[Default Applications]\n"
                      "audio/mpeg=volaro.desktop;\n"
                      "audio/x-mpegurl=volaro.desktop;\n"
                      "audio/mpegurl=volaro.desktop;");

    QTest::newRow("group last, no final newline")
        << QByteArray("[Default Applications]\ntext/html=firefox.desktop")
        << "[Default Applications]\ntext/html=firefox.desktop\n" + ours;
}

void TestMimeAppsList::edits() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(edit(input), expected);
}

void TestMimeAppsList::secondRunChangesNothing() {
    QFETCH(QByteArray, input);
    const QByteArray once = edit(input);
    QCOMPARE(edit(once), once);
}

void TestMimeAppsList::foreignBytesSurvive() {
    // Latin-1 and broken UTF-8 in comments and values, odd spacing, a key without value.
    const QByteArray head = "# Caf\xe9 \xff\xfe settings\n"
                            "[Added Associations]\n"
                            "video/mp4=mpv.desktop;\xc3\x28;\n"
                            "   \n"
                            "broken line without equals\n"
                            "=novalue\n";
    const QByteArray result = edit(head);
    QVERIFY(result.startsWith(head));
    QCOMPARE(result.mid(head.size()), QByteArray("\n[Default Applications]\n"
                                                 "audio/mpeg=volaro.desktop;\n"
                                                 "audio/x-mpegurl=volaro.desktop;\n"
                                                 "audio/mpegurl=volaro.desktop;\n"));
}

void TestMimeAppsList::repeatedDefaultGroup() {
    const QByteArray in = "[Default Applications]\n"
                          "audio/mpeg=a.desktop;\n"
                          "[Default Applications]\n"
                          "audio/mpeg=b.desktop;\n";
    QCOMPARE(edit(in), QByteArray("[Default Applications]\n"
                                  "audio/mpeg=volaro.desktop;\n"
                                  "audio/x-mpegurl=volaro.desktop;\n"
                                  "audio/mpegurl=volaro.desktop;\n"
                                  "[Default Applications]\n"
                                  "audio/mpeg=volaro.desktop;\n"));
}

void TestMimeAppsList::typeOnlyInRepeatedGroup() {
    // Readers that take the first group alone must find every type there too.
    const QByteArray in = "[Default Applications]\n"
                          "text/html=a.desktop\n"
                          "[Default Applications]\n"
                          "audio/mpegurl=b.desktop;\n";
    QCOMPARE(edit(in), QByteArray("[Default Applications]\n"
                                  "text/html=a.desktop\n"
                                  "audio/mpeg=volaro.desktop;\n"
                                  "audio/x-mpegurl=volaro.desktop;\n"
                                  "audio/mpegurl=volaro.desktop;\n"
                                  "[Default Applications]\n"
                                  "audio/mpegurl=volaro.desktop;\n"));
}

QTEST_APPLESS_MAIN(TestMimeAppsList)
#include "tst_mimeappslist.moc"
