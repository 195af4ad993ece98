// The About window: version caption and centring arithmetic as plain functions, then the
// real window offscreen: its texts, design positions, links opened through the desktop,
// and closing with Esc.

#include "aboutlayout.h"
#include "appicon.h"
#include "frmabout.h"
#include "linklabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

using namespace volaro::system;

namespace {

// Stands in for the browser and the mail program: records what the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void versionLabel_data();
    void versionLabel();
    void programVersionComesFromTheBuild();
    void centredOffset_data();
    void centredOffset();
    void centredOriginOfALargeWindowIsNegative();

    void textsAndDesignPositions();
    void loadSetsVersionAndCentres();
    void linksOpenThroughTheDesktop();
    void escapeOrOkClosesAndFrees();
    void applicationIconHasEveryThemeSize();

private:
    UrlRecorder m_recorder;
};

void TestAbout::initTestCase() {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &m_recorder, "open");
}

void TestAbout::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
}

void TestAbout::init() {
    m_recorder.opened.clear();
}

void TestAbout::versionLabel_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("label");
    QTest::newRow("3.2.1") << 3 << 2 << 1 << "Version 3.21";
    QTest::newRow("3.10.5") << 3 << 10 << 5 << "Version 3.105";
    QTest::newRow("1.0.0") << 1 << 0 << 0 << "Version 1.00";
    QTest::newRow("2.3.40") << 2 << 3 << 40 << "Version 2.340";
}

void TestAbout::versionLabel() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, label);
    QCOMPARE(volaro::system::versionLabel(major, minor, revision), label);
}

void TestAbout::programVersionComesFromTheBuild() {
    QCOMPARE(programVersionLabel(), QStringLiteral("Version %1.%2%3")
                                        .arg(VOLARO_EXPECTED_MAJOR)
                                        .arg(VOLARO_EXPECTED_MINOR)
                                        .arg(VOLARO_EXPECTED_REVISION));
}

void TestAbout::centredOffset_data() {
    QTest::addColumn<double>("screen");
    QTest::addColumn<double>("window");
    QTest::addColumn<int>("offset");
    QTest::newRow("even difference") << 15360.0 << 7260.0 << 4050;
    QTest::newRow("odd difference keeps the whole part") << 15360.0 << 7171.0 << 4094;
    QTest::newRow("fraction rounds down first") << 1000.4 << 0.0 << 500;
    QTest::newRow("fraction rounds up first") << 1000.6 << 0.0 << 500;
    QTest::newRow("half") << 1000.5 << 0.0 << 500;
    QTest::newRow("odd and a half") << 1001.5 << 0.0 << 501;
    QTest::newRow("rounding before halving matters") << 1001.6 << 0.0 << 501;
    QTest::newRow("negative fraction, rounded then toward zero") << 100.0 << 200.6 << -50;
    QTest::newRow("same size") << 7170.0 << 7170.0 << 0;
    QTest::newRow("window larger") << 11520.0 << 12000.0 << -240;
    QTest::newRow("window larger, odd: toward zero") << 100.0 << 201.0 << -50;
}

void TestAbout::centredOffset() {
    QFETCH(double, screen);
    QFETCH(double, window);
    QFETCH(int, offset);
    QCOMPARE(volaro::system::centredOffset(screen, window), offset);
}

void TestAbout::centredOriginOfALargeWindowIsNegative() {
    // A 1920 x 1080 screen in twips; one window fits, one is taller than the screen.
    QCOMPARE(centredOrigin(QSizeF(28800, 16200), QSizeF(7290, 3390)), QPoint(10755, 6405));
    const QPoint tall = centredOrigin(QSizeF(28800, 16200), QSizeF(7290, 17001));
    QCOMPARE(tall, QPoint(10755, -400));
    QVERIFY(tall.y() < 0);
    QCOMPARE(centredOrigin(QSizeF(9000, 9000), QSizeF(9600, 9000)), QPoint(-300, 0));
}

void TestAbout::textsAndDesignPositions() {
    frmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Volaro info@volaro.example"));
    // Design client area 7170 x 2970 twips.
    QCOMPARE(about.size(), QSize(478, 198));
    QCOMPARE(about.lblVersion->text(), QStringLiteral("Version"));
    QCOMPARE(about.lblVersion->pos(), QPoint(21, 0));
    QCOMPARE(about.picIcon->geometry(), QRect(16, 16, 128, 138));
    QCOMPARE(about.Label1->text(), QStringLiteral("Volaro 3.1 PRO"));
    QCOMPARE(about.Label1->pos(), QPoint(168, 24));
    QVERIFY(about.Label1->font().bold());
    QVERIFY(!about.lblDescription->font().bold());
    QCOMPARE(about.lblDescription->text(),
             QStringLiteral("Volaro Is a software that allows you to PlayBack MP3 files with "
                            "different types of transitions between songs. PRO version allows "
                            "you to use two different sound cards for output, one per opened "
                            "window."));
    QCOMPARE(about.lblDescription->pos(), QPoint(168, 49));
    QCOMPARE(about.lblDescription->width(), 252);
    // The whole description is readable and stays clear of the links.
    QVERIFY(about.lblDescription->heightForWidth(252) <= about.lblDescription->height());
    QVERIFY(about.lblDescription->geometry().bottom() < about.Label5->y());
    QCOMPARE(about.Label5->text(), QStringLiteral("volaro.example"));
    QCOMPARE(about.Label5->pos(), QPoint(21, 171));
    QCOMPARE(about.Label2->text(), QStringLiteral("info@volaro.example"));
    QCOMPARE(about.Label2->pos(), QPoint(147, 171));
    QVERIFY(about.Label5->geometry().right() < about.Label2->x());
    QVERIFY(about.rect().contains(about.Label2->geometry()));
    QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
    QVERIFY(about.cmdOK->isHidden());

    // The logo is drawn: opaque in the middle.
    const QImage logo = about.picIcon->pixmap().toImage();
    QVERIFY(!logo.isNull());
    QCOMPARE(qAlpha(logo.pixel(logo.width() / 2, logo.height() / 2)), 255);
}

void TestAbout::loadSetsVersionAndCentres() {
    frmAbout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.lblVersion->text(), programVersionLabel());
    QVERIFY(about.lblVersion->width() >= about.lblVersion->sizeHint().width());

    const QRect screen = about.screen()->geometry();
    const QSize outer = about.frameGeometry().size();
    // In pixels: half the spare room, as the twips rule gives it for whole pixels.
    const int left = qRound(((screen.width() - outer.width()) * 15 / 2) / 15.0);
    const int top = qRound(((screen.height() - outer.height()) * 15 / 2) / 15.0);
    const QPoint centred = screen.topLeft() + QPoint(left, top);
    QCOMPARE(about.frameGeometry().topLeft(), centred);
    QVERIFY(left > 0 && top > 0);

    // Moved by the user, closed with Esc and opened again: centred again.
    about.move(centred - QPoint(40, 30));
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.frameGeometry().topLeft(), centred);
}

void TestAbout::linksOpenThroughTheDesktop() {
    frmAbout about;
    for (QLabel* label : {static_cast<QLabel*>(about.Label5), static_cast<QLabel*>(about.Label2)}) {
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    }
    QVERIFY(about.Label1->palette().color(QPalette::WindowText) != QColor(0, 0, 255));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    const QUrl web(QStringLiteral("https://volaro.example/"));
    const QUrl mail(QStringLiteral("mailto:info@volaro.example"));
    QTest::mouseClick(about.Label5, Qt::LeftButton);
    QCOMPARE(m_recorder.opened, QList<QUrl>{web});
    QTest::mouseClick(about.Label2, Qt::LeftButton);
    QCOMPARE(m_recorder.opened, (QList<QUrl>{web, mail}));

    // No click: the right button, or the left released away from the label.
    QTest::mouseClick(about.Label2, Qt::RightButton);
    QTest::mousePress(about.Label5, Qt::LeftButton);
    QTest::mouseRelease(about.Label5, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(m_recorder.opened.size(), 2);

    // From the keyboard.
    about.activateWindow();
    about.Label5->setFocus();
    QTest::keyClick(about.Label5, Qt::Key_Space);
    QCOMPARE(m_recorder.opened, (QList<QUrl>{web, mail, web}));
}

void TestAbout::escapeOrOkClosesAndFrees() {
    QWidget mainWindow;
    mainWindow.show();
    QPointer<frmAbout> about = frmAbout::showAbout(&mainWindow);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    // Not modal: the main window keeps working while it is open.
    QVERIFY(!about->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(!about || !about->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return about.isNull(); }));
    QVERIFY(mainWindow.isVisible());

    about = frmAbout::showAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    about->cmdOK->click();
    QVERIFY(QTest::qWaitFor([&] { return about.isNull(); }));
    QVERIFY(m_recorder.opened.isEmpty());
}

void TestAbout::applicationIconHasEveryThemeSize() {
    const QIcon icon = applicationIcon();
    QVERIFY(!icon.isNull());
    QList<QSize> sizes;
    for (int size : appIconPixelSizes())
        sizes << QSize(size, size);
    QCOMPARE(icon.availableSizes(), sizes);
    const QImage small = icon.pixmap(QSize(16, 16)).toImage();
    QCOMPARE(small.size(), QSize(16, 16));
    QCOMPARE(qAlpha(small.pixel(8, 8)), 255);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
