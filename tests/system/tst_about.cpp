// The About window: version caption and centring arithmetic, then the real window offscreen.

#include "system/aboutlayout.h"
#include "system/frmabout.h"
#include "system/linklabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

using namespace volaro::system;

class TestAbout : public QObject {
    Q_OBJECT
    QList<QUrl> m_opened; // what the desktop was asked to open

public slots:
    // Stands in for the browser and the mail program.
    void open(const QUrl& url) { m_opened << url; }

private slots:
    void initTestCase() {
        for (const char* scheme : {"https", "mailto"})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanupTestCase() {
        for (const char* scheme : {"https", "mailto"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    void init() { m_opened.clear(); }

    void centredOffset() {
        // Odd differences keep the whole part, fractions round before halving, oversize -> 0-ward.
        const std::tuple<double, double, int> rows[] = {
            {15360, 7260, 4050}, {15360, 7171, 4094}, {15360, 7169, 4095}, {1001.5, 0, 501},
            {1001.6, 0, 501},    {100, 200.6, -50},   {100, 201, -50}};
        for (const auto& [screen, window, offset] : rows)
            QCOMPARE(volaro::system::centredOffset(screen, window), offset);
    }

    void shownWindow() {
        frmAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 3.21")); // this release
        QVERIFY(about.lblVersion->width() >= about.lblVersion->sizeHint().width());
        // The whole description is readable and clear of the links.
        QVERIFY(about.lblDescription->heightForWidth(about.lblDescription->width()) <=
                about.lblDescription->height());
        QVERIFY(about.lblDescription->geometry().bottom() < about.Label5->y());
        QVERIFY(about.Label5->geometry().right() < about.Label2->x());
        QVERIFY(about.rect().contains(about.Label2->geometry()));

        const QRect screen = about.screen()->geometry();
        const QSize outer = about.frameGeometry().size();
        // In pixels: half the spare room, as the twips rule gives it for whole pixels.
        const int left = qRound(((screen.width() - outer.width()) * 15 / 2) / 15.0);
        const int top = qRound(((screen.height() - outer.height()) * 15 / 2) / 15.0);
        const QPoint centred = screen.topLeft() + QPoint(left, top);
        QCOMPARE(about.frameGeometry().topLeft(), centred);
        QVERIFY(left > 0 && top > 0);

        // The links open through the desktop by a click or a key.
        const QUrl web(QStringLiteral("https://volaro.example/"));
        const QUrl mail(QStringLiteral("mailto:info@volaro.example"));
        QTest::mouseClick(about.Label5, Qt::LeftButton);
        QTest::mouseClick(about.Label2, Qt::LeftButton);
        QCOMPARE(m_opened, (QList<QUrl>{web, mail}));
        // No click: the right button, or the left released away from the label.
        QTest::mouseClick(about.Label2, Qt::RightButton);
        QTest::mousePress(about.Label5, Qt::LeftButton);
        QTest::mouseRelease(about.Label5, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(m_opened.size(), 2);
        about.activateWindow();
        about.Label5->setFocus();
        QTest::keyClick(about.Label5, Qt::Key_Space);
        QCOMPARE(m_opened, (QList<QUrl>{web, mail, web}));

        // Moved by the user, closed with Esc and opened again: centred again.
        about.move(centred - QPoint(40, 30));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.frameGeometry().topLeft(), centred);
    }

    void escapeOrOkClosesAndFrees() {
        QWidget mainWindow;
        mainWindow.show();
        QPointer<frmAbout> about = frmAbout::showAbout(&mainWindow);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        // Not modal: the main window keeps working while it is open.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QTest::keyClick(about, Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return about.isNull(); }));
        about = frmAbout::showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        about->cmdOK->click();
        QVERIFY(QTest::qWaitFor([&] { return about.isNull(); }));
        QVERIFY(m_opened.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
