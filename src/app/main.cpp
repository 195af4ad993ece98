#include "appicon.h"
#include "frmplayer.h"
#include "settingsstore.h"
#include "unixsignals.h"

#include <QApplication>
#include <QMessageBox>
#include <stdexcept>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Volaro"));
    QApplication::setApplicationName(QStringLiteral("Volaro"));
    QApplication::setApplicationVersion(QStringLiteral(VOLARO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("volaro"));
    QApplication::setWindowIcon(volaro::system::applicationIcon());

    IniSettingsStore settings;
    frmPlayer window(settings);
    try {
        window.Form_Load(QApplication::arguments());
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Volaro PRO"),
                              QStringLiteral("Volaro cannot start: the list of sound outputs "
                                             "cannot be read.\n\n%1")
                                  .arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
    // A desktop logout (SIGTERM) or Ctrl+C closes the window like the user would,
    // so playback stops and the settings are saved.
    UnixSignals signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignals::terminationRequested, &window, &QWidget::close);
    window.show();
    return app.exec();
}
