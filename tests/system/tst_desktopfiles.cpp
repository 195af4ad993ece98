// The files an installation puts on the desktop: the desktop entry and the AppStream
// metainfo pass their validators, the rendered theme icons are real pictures of the right
// size, and "cmake --install" puts everything in the standard places.

#include "appicon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::system;

namespace {

const QString BuildDir = QStringLiteral(VOLARO_SYSTEM_BUILD_DIR);

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs a tool and returns its exit code, or -1 when it did not run; output goes to *out.
int run(const QString& program, const QStringList& args, QByteArray* out) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    *out = p.readAll();
    return p.exitCode();
}

QString tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

} // namespace

class TestDesktopFiles : public QObject {
    Q_OBJECT
private slots:
    void desktopEntryIsValid();
    void metainfoIsValid();
    void themeIconsAreRendered();
    void installPutsFilesInStandardPlaces();
};

void TestDesktopFiles::desktopEntryIsValid() {
    const QString validator = tool("desktop-file-validate");
    QVERIFY2(!validator.isEmpty(),
             "desktop-file-validate is missing: run scripts/install-deps.sh --test");
    const QString entry = BuildDir + QStringLiteral("/volaro.desktop");
    const QByteArray text = readAll(entry);
    QVERIFY2(text.contains("\nExec="), qPrintable(entry));
    QVERIFY(!text.contains("@VOLARO_EXEC@"));
    QVERIFY(text.contains("\nMimeType=audio/mpeg;audio/x-mpegurl;audio/mpegurl;\n"));
    QByteArray out;
    QCOMPARE(run(validator, {entry}, &out), 0);
    QVERIFY2(out.isEmpty(), out.constData());
}

void TestDesktopFiles::metainfoIsValid() {
    const QString validator = tool("appstreamcli");
    QVERIFY2(!validator.isEmpty(), "appstreamcli is missing: run scripts/install-deps.sh --test");
    const QString metainfo = BuildDir + QStringLiteral("/io.example.Volaro.metainfo.xml");
    const QByteArray text = readAll(metainfo);
    QVERIFY2(text.contains("<launchable type=\"desktop-id\">volaro.desktop</launchable>"),
             qPrintable(metainfo));
    QVERIFY(!text.contains('@'));
    QByteArray out;
    QCOMPARE(
        run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo}, &out),
        0);
    QVERIFY2(!out.contains("E:") && !out.contains("W:"), out.constData());
}

void TestDesktopFiles::themeIconsAreRendered() {
    QCOMPARE(readAll(QStringLiteral(VOLARO_DATA_DIR "/icons/volaro.svg")), appIconSvg());
    for (int size : appIconPixelSizes()) {
        const QString path =
            BuildDir + QStringLiteral("/icons/hicolor/%1x%1/apps/volaro.png").arg(size);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        QCOMPARE(qAlpha(image.pixel(0, size - 1)), 0);
        // Same drawing as the one the running program puts in the user's theme.
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32),
                 renderIcon(appIconSvg(), size).convertToFormat(QImage::Format_ARGB32));
    }
    QVERIFY(renderIcon("<svg", 48).isNull());
    QVERIFY(renderIcon(appIconSvg(), 0).isNull());
}

void TestDesktopFiles::installPutsFilesInStandardPlaces() {
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    QByteArray out;
    const int code = run(QStringLiteral(VOLARO_CMAKE_COMMAND),
                         {QStringLiteral("--install"), QStringLiteral(VOLARO_BINARY_DIR),
                          QStringLiteral("--prefix"), prefix.path()},
                         &out);
    QVERIFY2(code == 0, out.constData());
    const QDir root(prefix.path());
    QStringList expected = {QStringLiteral("share/applications/volaro.desktop"),
                            QStringLiteral("share/metainfo/io.example.Volaro.metainfo.xml"),
                            QStringLiteral("share/icons/hicolor/scalable/apps/volaro.svg")};
    for (int size : appIconPixelSizes())
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/volaro.png").arg(size);
    for (const QString& file : expected)
        QVERIFY2(QFileInfo(root.filePath(file)).isFile(), qPrintable(file));
}

QTEST_GUILESS_MAIN(TestDesktopFiles)
#include "tst_desktopfiles.moc"
