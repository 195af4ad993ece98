// Desktop integration in a throw-away home: mimeapps.list, RegisterFileTypes, installed files.

#include "base/mediakinds.h"
#include "support/fixtures.h"
#include "system/appicon.h"
#include "system/fileassociation.h"
#include "system/mimeappslist.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace volaro::system;
using volaro::fixtures::AsOrdinaryUser, volaro::fixtures::readBytes, volaro::fixtures::writeBytes;

namespace {

const QByteArray Ours = "audio/mpeg=volaro.desktop;\n"
                        "audio/x-mpegurl=volaro.desktop;\n"
                        "audio/mpegurl=volaro.desktop;\n";
const QByteArray OurDefaults = "[Default Applications]\n" + Ours;
const QByteArray VlcDefaults = "[Default Applications]\naudio/mpeg=vlc.desktop;\n";
const QString BuildDir = QStringLiteral(VOLARO_SYSTEM_BUILD_DIR);

bool setMode(const QString& path, int mode) {
    return chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Every file below root with its content and modification time.
using Snapshot = QMap<QString, QPair<QByteArray, QDateTime>>;

const QByteArray mimeTypeValue = (volaro::base::playableMimeTypes().join(u';') + u';').toUtf8();
Snapshot snapshot(const QString& root) {
    Snapshot s;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        s.insert(path, {readBytes(path), QFileInfo(path).lastModified()});
    }
    return s;
}

} // namespace

class TestFileAssociation : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    QString dataHome() const { return m_home->filePath(QStringLiteral("data")); }
    QString configHome() const { return m_home->filePath(QStringLiteral("config")); }
    QString entryPath() const { return dataHome() + "/applications/volaro.desktop"; }
    QString listPath() const { return configHome() + QStringLiteral("/mimeapps.list"); }

private slots:
    void init() {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", m_home->path().toUtf8());
        qputenv("XDG_DATA_HOME", dataHome().toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    }
    void cleanup() {
        setMode(configHome(), 0700); // the one folder a case may close, so that it can be removed
        m_home.reset();
    }

    void editMimeAppsList() {
        const QByteArray other = "[Added Associations]\ntext/plain=gedit.desktop;";
        // Latin-1 and broken UTF-8, a blank-only line, lines without key or value.
        const QByteArray foreign = "# Caf\xe9 \xff\xfe settings\n[Added Associations]\n"
                                   "video/mp4=mpv.desktop;\xc3\x28;\n   \n"
                                   "broken line without equals\n=novalue\n\n";
        const QByteArray html = "[Default Applications]\ntext/html=firefox.desktop\n";
        const QByteArray added = "\n[Added Associations]\naudio/mpeg=vlc.desktop;\n";
        const QByteArray similar =
            "audio/mpeg-extra=other.desktop;\n#audio/mpeg=commented.desktop;\n";
        // No file, other groups, foreign bytes, no final newline, in place and appended, CR LF,
        // a repeated group (ours in every copy, the missing ones in the first: readers differ).
        const std::pair<QByteArray, QByteArray> cases[] = {
            {"", OurDefaults},
            {other, other + "\n\n" + OurDefaults},
            {foreign, foreign + OurDefaults},
            {OurDefaults.chopped(1), OurDefaults.chopped(1)},
            {html.chopped(1), html + Ours},
            {html + "  audio/mpegurl = vlc.desktop;rhythmbox.desktop;\n" + similar + added,
             html + "audio/mpegurl=volaro.desktop;\n" + similar +
                 "audio/mpeg=volaro.desktop;\naudio/x-mpegurl=volaro.desktop;\n" + added},
            {"[Default Applications]\r\naudio/mpeg=vlc.desktop;\r\n",
             QByteArray(OurDefaults).replace("\n", "\r\n")},
            {html + "audio/mpeg=a.desktop;\n" + VlcDefaults + "audio/mpegurl=b.desktop;\n",
             html + Ours + "[Default Applications]\naudio/mpeg=volaro.desktop;\n" +
                 "audio/mpegurl=volaro.desktop;\n"}};
        for (const auto& [input, expected] : cases) {
            const QByteArray once =
                withDefaultApplication(input, associatedMimeTypes(), "volaro.desktop");
            QCOMPARE(once, expected);
            QCOMPARE(withDefaultApplication(once, associatedMimeTypes(), "volaro.desktop"), once);
        }
    }

    void oneAndTwoRuns() {
        // Exec in reading order: string escapes, then quoting, then field codes; TryExec plain.
        const QString path = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
        const QStringList rows[] = {
            {"/opt/My Music Apps/volaro", "\"/opt/My Music Apps/volaro\"",
             "/opt/My Music Apps/volaro"},
            {QString::fromUtf8("/opt/m\xc3\xbasica/it's;#(a\"b$c`d)/volaro"),
             QString::fromUtf8("\"/opt/m\xc3\xbasica/it's;#(a\\\\\"b\\\\$c\\\\`d)/volaro\""),
             QString::fromUtf8("/opt/m\xc3\xbasica/it's;#(a\"b$c`d)/volaro")},
            {"/opt/100%/back\\slash\tx/volaro", "\"/opt/100%%/back\\\\\\\\slash\\tx/volaro\"",
             "/opt/100%/back\\\\slash\\tx/volaro"},
            {"/opt/100%/volaro", "/opt/100%%/volaro", "/opt/100%/volaro"},
            {path, path, path}};
        for (const QStringList& row : rows) {
            QVERIFY(registerFileTypesIn({row[0], dataHome(), configHome()}));
            const QByteArray entry = readBytes(entryPath());
            QVERIFY2(
                entry.contains(("\nExec=" + row[1] + " %f\nTryExec=" + row[2] + "\n").toUtf8()),
                entry.constData());
            QProcess validate; // quiet about a valid entry: no warning, no hint
            validate.setProcessChannelMode(QProcess::MergedChannels);
            validate.start(QStringLiteral("desktop-file-validate"), {entryPath()});
            const QByteArray out = validate.waitForFinished(120000)
                                       ? validate.readAll()
                                       : "no desktop-file-validate: see scripts/install-deps.sh";
            QVERIFY2(validate.exitCode() == 0 && out.isEmpty(), out.constData());
        }
        // Offered for every playable kind ("Open With"); the defaults below stay MP3 and M3U.
        QVERIFY(readBytes(entryPath()).contains("\nMimeType=" + mimeTypeValue + "\n") &&
                mimeTypeValue.contains("audio/mp4;"));
        // The installed entry's list is read from the same table by the build.
        QCOMPARE(QByteArray(VOLARO_MIME_TYPES).replace(',', ';'), mimeTypeValue);
        QCOMPARE(readBytes(listPath()), OurDefaults);

        // Icons drawn (opaque centre, clear corner), the same as an installation's.
        const QString theme = dataHome() + QStringLiteral("/icons/hicolor/");
        QCOMPARE(readBytes(theme + QStringLiteral("scalable/apps/volaro.svg")), appIconSvg());
        for (int size : appIconPixelSizes()) {
            const QString name = QStringLiteral("%1x%1/apps/volaro.png").arg(size);
            const QImage image = QImage(theme + name).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) == 255 &&
                    qAlpha(image.pixel(0, 0)) == 0);
            QCOMPARE(QImage(BuildDir + "/icons/hicolor/" + name).convertToFormat(image.format()),
                     image);
        }
        QVERIFY(renderIcon("<svg", 48).isNull() && renderIcon(appIconSvg(), 0).isNull());

        const Snapshot once = snapshot(m_home->path());
        QTest::qWait(20); // a rewrite would show in the modification times
        QVERIFY(registerFileTypesIn({path, dataHome(), configHome()}));
        QCOMPARE(snapshot(m_home->path()), once);

        // Another location replaces the entry rather than adding a second one.
        QVERIFY(registerFileTypesIn({"/usr/bin/volaro", dataHome(), configHome()}));
        QVERIFY(readBytes(entryPath()).contains("\nExec=/usr/bin/volaro %f\n"));
        QCOMPARE(QDir(dataHome() + "/applications").entryList(QDir::Files),
                 QStringList{"volaro.desktop"});
    }

    void existingAssociationsAreKept() {
        // Relative or empty XDG values are ignored for the folders below the home.
        qputenv("XDG_DATA_HOME", "relative/data");
        qputenv("XDG_CONFIG_HOME", "");
        const AssociationPlaces places = currentAssociationPlaces();
        QCOMPARE(places.dataHome, m_home->path() + "/.local/share");
        QCOMPARE(places.configHome, m_home->path() + "/.config");

        // A private dotfiles list linked into ~/.config stays a link and private; only ours change.
        const QString real = m_home->filePath(QStringLiteral("dotfiles/mimeapps.list"));
        const QByteArray head =
            "# managed by hand\n[Default Applications]\ntext/html=firefox-esr.desktop\n";
        const QByteArray tail =
            "\n[Added Associations]\naudio/mpeg=vlc.desktop;audacious.desktop;\n"
            "image/png=org.gnome.eog.desktop;\n\n"
            "[Removed Associations]\naudio/x-mpegurl=totem.desktop;\n";
        QVERIFY(writeBytes(real, head + "audio/mpeg=vlc.desktop;\n" + tail));
        QVERIFY(setMode(real, 0600) && QDir().mkpath(places.configHome));
        QVERIFY(QFile::link(real, places.configHome + "/mimeapps.list"));
        RegisterFileTypes();
        QVERIFY(QFileInfo(places.configHome + "/mimeapps.list").isSymLink());
        QCOMPARE(readBytes(real), head + Ours + tail);
        QCOMPARE(QFile::permissions(real) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(QFileInfo::exists(places.dataHome + "/applications/volaro.desktop"));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("relative"))));
    }

    void protectedListIsLeftAlone() {
        // An unwritable config folder, a read-only list, an unreadable list.
        for (const auto& [folderMode, listMode] :
             {std::pair{0555, 0644}, std::pair{0777, 0444}, std::pair{0777, 0222}}) {
            cleanup(); // a fresh home for each
            init();
            QVERIFY(writeBytes(listPath(), VlcDefaults));
            // An ordinary user may reach the home and write the data folder.
            QVERIFY(QDir().mkpath(dataHome()));
            QVERIFY(setMode(m_home->path(), 0755) && setMode(dataHome(), 0777));
            QVERIFY(setMode(listPath(), listMode) && setMode(configHome(), folderMode));
            const Snapshot before = snapshot(configHome());
            {
                AsOrdinaryUser user;
                QVERIFY(user.active());
                QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
            }
            // Same content and time, no temporary file; what could be written was.
            QCOMPARE(snapshot(configHome()), before);
            QVERIFY(QFileInfo::exists(entryPath()));
        }
    }

    void unusablePlacesChangeNothing() {
        // Without an absolute program path nothing is written.
        for (const char* program : {"", "volaro", "bin/volaro"})
            QVERIFY(!registerFileTypesIn({program, dataHome(), configHome()}));
        QVERIFY(snapshot(m_home->path()).isEmpty());

        // A file where the data folder should be: no entry, so no defaults pointing at one.
        QVERIFY(writeBytes(dataHome(), "not a folder") && writeBytes(listPath(), VlcDefaults));
        const Snapshot before = snapshot(m_home->path());
        QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
        QCOMPARE(snapshot(m_home->path()), before);

        // A folder where mimeapps.list should be.
        QVERIFY(QFile::remove(dataHome()) && QFile::remove(listPath()));
        QVERIFY(writeBytes(listPath() + "/inside", "x"));
        QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
        QVERIFY(QFileInfo(listPath()).isDir());
        QCOMPARE(readBytes(listPath() + "/inside"), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestFileAssociation)
#include "tst_fileassociation.moc"
