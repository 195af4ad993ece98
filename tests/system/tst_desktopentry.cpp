// The Exec key of our desktop entry: the program path must survive the desktop's reading
// rules (string escapes first, then quoting, then field codes), and the entry must pass
// desktop-file-validate whatever the path holds.

#include "desktopentry.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using volaro::system::desktopEntryFromTemplate;
using volaro::system::desktopExecArgument;

namespace {

// How a launcher reads an Exec value, written from the Desktop Entry rules: undo the string
// escapes, split into arguments honouring double quotes and their backslash escapes, then
// turn "%%" into "%". Returns the arguments, or {"<error>"} for a malformed value.
QStringList readExec(const QString& value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            unescaped += u' ';
        else if (next == u'n')
            unescaped += u'\n';
        else if (next == u't')
            unescaped += u'\t';
        else if (next == u'r')
            unescaped += u'\r';
        else if (next == u'\\')
            unescaped += u'\\';
        else
            return {QStringLiteral("<error>")};
    }

    QStringList args;
    QString current;
    bool inArg = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (c == u'"') {
            inArg = true;
            for (++i; i < unescaped.size() && unescaped[i] != u'"'; ++i) {
                if (unescaped[i] == u'\\' && i + 1 < unescaped.size())
                    ++i;
                current += unescaped[i];
            }
            if (i == unescaped.size())
                return {QStringLiteral("<error>")};
        } else if (c == u' ') {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    for (QString& a : args)
        if (a != QLatin1String("%f"))
            a.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}

QString execValue(const QByteArray& entry) {
    for (const QByteArray& line : entry.split('\n'))
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    return {};
}

const QByteArray Template = "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Volaro\n"
                            "Exec=@VOLARO_EXEC@ %f\n"
                            "TryExec=@VOLARO_TRYEXEC@\n"
                            "MimeType=audio/mpeg;\n";

} // namespace

class TestDesktopEntry : public QObject {
    Q_OBJECT
private slots:
    void encoding_data();
    void encoding();
    void launcherReadsPathBack_data() { encoding_data(); }
    void launcherReadsPathBack();
    void validatorAccepts_data() { encoding_data(); }
    void validatorAccepts();
    void templateKeepsOtherLines();
};

void TestDesktopEntry::encoding_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("encoded");

    QTest::newRow("plain") << "/usr/bin/volaro"
                           << "/usr/bin/volaro";
    QTest::newRow("blanks") << "/opt/My Apps/volaro"
                            << "\"/opt/My Apps/volaro\"";
    QTest::newRow("double quote") << "/opt/a\"b/volaro"
                                  << "\"/opt/a\\\\\"b/volaro\"";
    QTest::newRow("dollar") << "/opt/$HOME/volaro"
                            << "\"/opt/\\\\$HOME/volaro\"";
    QTest::newRow("backtick") << "/opt/`x`/volaro"
                              << "\"/opt/\\\\`x\\\\`/volaro\"";
    QTest::newRow("backslash") << "/opt/back\\slash/volaro"
                               << "\"/opt/back\\\\\\\\slash/volaro\"";
    QTest::newRow("single quote") << "/opt/it's/volaro"
                                  << "\"/opt/it's/volaro\"";
    QTest::newRow("percent only") << "/opt/100%/volaro"
                                  << "/opt/100%%/volaro";
    QTest::newRow("percent and blank") << "/opt/100 %/volaro"
                                       << "\"/opt/100 %%/volaro\"";
    QTest::newRow("tab") << "/opt/a\tb/volaro"
                         << "\"/opt/a\\tb/volaro\"";
    QTest::newRow("semicolon, hash, parentheses") << "/opt/a;b#c(d)/volaro"
                                                  << "\"/opt/a;b#c(d)/volaro\"";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/opt/m\xc3\xbasica/volaro")
                               << QString::fromUtf8("/opt/m\xc3\xbasica/volaro");
}

void TestDesktopEntry::encoding() {
    QFETCH(QString, path);
    QFETCH(QString, encoded);
    QCOMPARE(desktopExecArgument(path), encoded);
}

void TestDesktopEntry::launcherReadsPathBack() {
    QFETCH(QString, path);
    const QByteArray entry = desktopEntryFromTemplate(Template, path);
    QCOMPARE(readExec(execValue(entry)), QStringList({path, QStringLiteral("%f")}));
}

void TestDesktopEntry::validatorAccepts() {
    QFETCH(QString, path);
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    QVERIFY2(!validator.isEmpty(),
             "desktop-file-validate is missing: run scripts/install-deps.sh --test");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("volaro.desktop")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(desktopEntryFromTemplate(Template, path));
    file.close();
    QProcess p;
    p.start(validator, {file.fileName()});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray out = p.readAllStandardOutput() + p.readAllStandardError();
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, out.constData());
    QVERIFY2(!out.contains("error"), out.constData());
}

void TestDesktopEntry::templateKeepsOtherLines() {
    const QByteArray entry = desktopEntryFromTemplate(Template, QStringLiteral("/a b/vol\\aro"));
    QCOMPARE(entry, QByteArray("[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Volaro\n"
                               "Exec=\"/a b/vol\\\\\\\\aro\" %f\n"
                               "TryExec=/a b/vol\\\\aro\n"
                               "MimeType=audio/mpeg;\n"));
}

QTEST_APPLESS_MAIN(TestDesktopEntry)
#include "tst_desktopentry.moc"
