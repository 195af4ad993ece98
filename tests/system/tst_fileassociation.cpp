// RegisterFileTypes against a throw-away home folder: the desktop entry, the icons and
// mimeapps.list after one and two runs, odd program paths, a user's existing associations,
// and folders or files we may not write, which must come out untouched.

#include "appicon.h"
#include "fileassociation.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace volaro::system;

namespace {

const QByteArray OurDefaults = "[Default Applications]\n"
                               "audio/mpeg=volaro.desktop;\n"
                               "audio/x-mpegurl=volaro.desktop;\n"
                               "audio/mpegurl=volaro.desktop;\n";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Every file below root with its content and modification time.
struct Snapshot {
    QMap<QString, QByteArray> content;
    QMap<QString, QDateTime> modified;
    bool operator==(const Snapshot& o) const {
        return content == o.content && modified == o.modified;
    }
};

Snapshot snapshot(const QString& root) {
    Snapshot s;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        s.content.insert(path, readAll(path));
        s.modified.insert(path, QFileInfo(path).lastModified());
    }
    return s;
}

QString execLine(const QString& entryPath) {
    for (const QByteArray& line : readAll(entryPath).split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line);
    return {};
}

// Folder permissions bind root too only once it acts as an ordinary user, so while this
// lives the effective user is "nobody" when the tests run as root.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() == 0)
            m_switched = seteuid(65534) == 0;
        m_ok = geteuid() != 0;
    }
    ~AsOrdinaryUser() {
        if (m_switched && seteuid(0) != 0)
            qFatal("cannot return to the original user");
    }
    bool ok() const { return m_ok; }

private:
    bool m_switched = false;
    bool m_ok = false;
};

} // namespace

class TestFileAssociation : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunWritesEntryIconsAndDefaults();
    void secondRunChangesNothing();
    void registeredEntryPassesValidator();
    void pathWithBlanksIsQuoted();
    void existingAssociationsAreKept();
    void symlinkedListStaysALink();
    void relativeXdgValuesFallBackToHome();
    void protectedListIsLeftAlone_data();
    void protectedListIsLeftAlone();
    void unusableProgramPathWritesNothing();
    void listThatIsAFolderIsLeftAlone();
    void blockedDataFolderLeavesListAlone();

private:
    QString dataHome() const { return m_home->filePath(QStringLiteral("data")); }
    QString configHome() const { return m_home->filePath(QStringLiteral("config")); }
    QString entryPath() const {
        return dataHome() + QStringLiteral("/applications/volaro.desktop");
    }
    QString listPath() const { return configHome() + QStringLiteral("/mimeapps.list"); }
    // Lets an ordinary user reach the home and write the data folder.
    void openHomeToOrdinaryUser();

    std::unique_ptr<QTemporaryDir> m_home;
};

void TestFileAssociation::init() {
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toUtf8());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
}

void TestFileAssociation::cleanup() {
    // Give back every permission the cases took away so the folder can be removed.
    QDirIterator it(m_home->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    chmod(m_home->path().toLocal8Bit().constData(), 0700);
    while (it.hasNext())
        chmod(it.next().toLocal8Bit().constData(), 0700);
    m_home.reset();
}

void TestFileAssociation::openHomeToOrdinaryUser() {
    QVERIFY(QDir().mkpath(dataHome()));
    QVERIFY(QDir().mkpath(configHome()));
    QVERIFY(chmod(m_home->path().toLocal8Bit().constData(), 0755) == 0);
    QVERIFY(chmod(dataHome().toLocal8Bit().constData(), 0777) == 0);
}

void TestFileAssociation::firstRunWritesEntryIconsAndDefaults() {
    RegisterFileTypes();

    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    QVERIFY(!program.contains(u' '));
    const QByteArray entry = readAll(entryPath());
    QVERIFY2(entry.startsWith("[Desktop Entry]\n"), entry.constData());
    QCOMPARE(execLine(entryPath()), QStringLiteral("Exec=") + program + QStringLiteral(" %f"));
    QVERIFY(entry.contains("\nTryExec=" + program.toUtf8() + "\n"));
    QVERIFY(entry.contains("\nName=Volaro\n"));
    QVERIFY(entry.contains("\nIcon=volaro\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains("\nCategories=AudioVideo;Audio;Player;\n"));
    QVERIFY(entry.contains("\nMimeType=audio/mpeg;audio/x-mpegurl;audio/mpegurl;\n"));

    QCOMPARE(readAll(listPath()), OurDefaults);

    const QString theme = dataHome() + QStringLiteral("/icons/hicolor/");
    QCOMPARE(readAll(theme + QStringLiteral("scalable/apps/volaro.svg")), appIconSvg());
    for (int size : appIconPixelSizes()) {
        const QString png = theme + QStringLiteral("%1x%1/apps/volaro.png").arg(size);
        QImage image(png);
        QVERIFY2(!image.isNull(), qPrintable(png));
        QCOMPARE(image.size(), QSize(size, size));
        // The icon is drawn: its centre is opaque, its rounded corner transparent.
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }
}

void TestFileAssociation::secondRunChangesNothing() {
    RegisterFileTypes();
    const Snapshot once = snapshot(m_home->path());
    QVERIFY(once.content.size() >= 3);
    QTest::qWait(20); // a rewrite would show in the modification times
    RegisterFileTypes();
    const Snapshot twice = snapshot(m_home->path());
    QCOMPARE(twice.content, once.content);
    QCOMPARE(twice.modified, once.modified);
}

void TestFileAssociation::registeredEntryPassesValidator() {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    QVERIFY2(!validator.isEmpty(),
             "desktop-file-validate is missing: run scripts/install-deps.sh --test");
    const QStringList programs = {QCoreApplication::applicationFilePath(),
                                  QStringLiteral("/opt/My Music Apps/vol aro")};
    for (const QString& program : programs) {
        QVERIFY(registerFileTypesIn({program, dataHome(), configHome()}));
        QProcess p;
        p.start(validator, {entryPath()});
        QVERIFY(p.waitForFinished(30000));
        const QByteArray out = p.readAllStandardOutput() + p.readAllStandardError();
        QVERIFY2(p.exitCode() == 0 && out.isEmpty(), out.constData());
    }
}

void TestFileAssociation::pathWithBlanksIsQuoted() {
    QVERIFY(registerFileTypesIn(
        {QStringLiteral("/opt/My Music Apps/volaro"), dataHome(), configHome()}));
    QCOMPARE(execLine(entryPath()), QStringLiteral("Exec=\"/opt/My Music Apps/volaro\" %f"));
    // Registering another location replaces the entry rather than adding a second one.
    QVERIFY(registerFileTypesIn({QStringLiteral("/usr/bin/volaro"), dataHome(), configHome()}));
    QCOMPARE(execLine(entryPath()), QStringLiteral("Exec=/usr/bin/volaro %f"));
    QCOMPARE(QDir(dataHome() + QStringLiteral("/applications")).entryList(QDir::Files),
             QStringList{QStringLiteral("volaro.desktop")});
    QCOMPARE(readAll(listPath()), OurDefaults);
}

void TestFileAssociation::existingAssociationsAreKept() {
    const QByteArray before = "# managed by hand\n"
                              "[Default Applications]\n"
                              "text/html=firefox-esr.desktop\n"
                              "audio/mpeg=vlc.desktop;\n"
                              "\n"
                              "[Added Associations]\n"
                              "audio/mpeg=vlc.desktop;audacious.desktop;\n"
                              "image/png=org.gnome.eog.desktop;\n"
                              "\n"
                              "[Removed Associations]\n"
                              "audio/x-mpegurl=totem.desktop;\n";
    QVERIFY(writeFile(listPath(), before));
    QVERIFY(QFile::setPermissions(listPath(), QFile::ReadOwner | QFile::WriteOwner));

    RegisterFileTypes();

    const QByteArray after = readAll(listPath());
    QCOMPARE(after, QByteArray("# managed by hand\n"
                               "[Default Applications]\n"
                               "text/html=firefox-esr.desktop\n"
                               "audio/mpeg=volaro.desktop;\n"
                               "audio/x-mpegurl=volaro.desktop;\n"
                               "audio/mpegurl=volaro.desktop;\n"
                               "\n"
                               "[Added Associations]\n"
                               "audio/mpeg=vlc.desktop;audacious.desktop;\n"
                               "image/png=org.gnome.eog.desktop;\n"
                               "\n"
                               "[Removed Associations]\n"
                               "audio/x-mpegurl=totem.desktop;\n"));
    // A private file stays private after the atomic replacement.
    struct stat st {};
    QCOMPARE(stat(listPath().toLocal8Bit().constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
}

void TestFileAssociation::symlinkedListStaysALink() {
    // Users who keep their settings in a dotfiles folder link them into ~/.config.
    const QString real = m_home->filePath(QStringLiteral("dotfiles/mimeapps.list"));
    QVERIFY(writeFile(real, "[Added Associations]\ntext/plain=gedit.desktop;\n"));
    QVERIFY(QDir().mkpath(configHome()));
    QVERIFY(QFile::link(real, listPath()));

    RegisterFileTypes();

    QVERIFY(QFileInfo(listPath()).isSymLink());
    QCOMPARE(readAll(real), "[Added Associations]\ntext/plain=gedit.desktop;\n\n" + OurDefaults);
}

void TestFileAssociation::relativeXdgValuesFallBackToHome() {
    qputenv("XDG_DATA_HOME", "relative/data");
    qputenv("XDG_CONFIG_HOME", "");
    const AssociationPlaces places = currentAssociationPlaces();
    QCOMPARE(places.dataHome, m_home->path() + QStringLiteral("/.local/share"));
    QCOMPARE(places.configHome, m_home->path() + QStringLiteral("/.config"));
    QCOMPARE(places.programPath, QCoreApplication::applicationFilePath());

    RegisterFileTypes();
    QVERIFY(QFileInfo::exists(m_home->path() +
                              QStringLiteral("/.local/share/applications/volaro.desktop")));
    QCOMPARE(readAll(m_home->path() + QStringLiteral("/.config/mimeapps.list")), OurDefaults);
    QVERIFY(!QFileInfo::exists(QDir::current().filePath(QStringLiteral("relative"))));
}

void TestFileAssociation::protectedListIsLeftAlone_data() {
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("listMode");
    QTest::newRow("unwritable config folder") << 0555 << 0644;
    QTest::newRow("read-only list") << 0777 << 0444;
    QTest::newRow("unreadable list") << 0777 << 0222;
}

void TestFileAssociation::protectedListIsLeftAlone() {
    QFETCH(int, folderMode);
    QFETCH(int, listMode);
    QVERIFY(writeFile(listPath(), "[Default Applications]\naudio/mpeg=vlc.desktop;\n"));
    openHomeToOrdinaryUser();
    QVERIFY(chmod(listPath().toLocal8Bit().constData(), mode_t(listMode)) == 0);
    QVERIFY(chmod(configHome().toLocal8Bit().constData(), mode_t(folderMode)) == 0);
    const Snapshot before = snapshot(configHome());

    {
        AsOrdinaryUser user;
        QVERIFY(user.ok());
        QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
    }
    // Same content and time, and no temporary file left beside it.
    QCOMPARE(snapshot(configHome()), before);
    QCOMPARE(QDir(configHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("mimeapps.list")});
    // The parts that could be written were written.
    QVERIFY(QFileInfo::exists(entryPath()));
}

void TestFileAssociation::unusableProgramPathWritesNothing() {
    for (const QString& program :
         {QString(), QStringLiteral("volaro"), QStringLiteral("bin/volaro")})
        QVERIFY(!registerFileTypesIn({program, dataHome(), configHome()}));
    QVERIFY(snapshot(m_home->path()).content.isEmpty());
}

void TestFileAssociation::listThatIsAFolderIsLeftAlone() {
    QVERIFY(QDir().mkpath(listPath()));
    QVERIFY(writeFile(listPath() + QStringLiteral("/inside"), "x"));
    QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
    QVERIFY(QFileInfo(listPath()).isDir());
    QCOMPARE(readAll(listPath() + QStringLiteral("/inside")), QByteArray("x"));
}

void TestFileAssociation::blockedDataFolderLeavesListAlone() {
    // A plain file where the data folder should be: no entry can be written, so the
    // defaults must not be pointed at it.
    QVERIFY(writeFile(dataHome(), "not a folder"));
    const QByteArray before = "[Default Applications]\naudio/mpeg=vlc.desktop;\n";
    QVERIFY(writeFile(listPath(), before));
    QVERIFY(!registerFileTypesIn(currentAssociationPlaces()));
    QCOMPARE(readAll(listPath()), before);
    QCOMPARE(readAll(dataHome()), QByteArray("not a folder"));
}

QTEST_GUILESS_MAIN(TestFileAssociation)
#include "tst_fileassociation.moc"
