#include "app/commandline.h"
#include "app/frmplayer.h"
#include "app/mprisbridge.h"
#include "app/unixsignals.h"
#include "base/filename.h"
#include "base/version.h"
#include "playlist/listkeeper.h"
#include "system/appicon.h"
#include "system/inisettingsstore.h"
#include "system/singleinstance.h"

#include <QApplication>
#include <QMessageBox>
#include <cstring>
#include <stdexcept>

using volaro::app::frmPlayer;
using volaro::app::MprisBridge;
using volaro::app::UnixSignals;
using volaro::playlist::ListKeeper;
using volaro::system::IniSettingsStore;
using volaro::system::SingleInstance;

int main(int argc, char** argv) {
    // Before anything that takes time: a desktop logout (SIGTERM) or Ctrl+C at any moment,
    // also during a slow start, closes the player in order (Stop, save the settings).
    UnixSignals::catchTermination();
    // Qt takes its options (-reverse, -style ...) wherever they stand, also after "--": it
    // is shown only the arguments before "--", so that a file named like an option can
    // follow it.
    int qtArgc = argc;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--") == 0) {
            qtArgc = i;
            break;
        }
    QStringList arguments;
    for (int i = qtArgc; i < argc; ++i)
        arguments << volaro::base::fileNameFromBytes(argv[i]);
    QApplication app(qtArgc, argv);
    // The names as the file system has them (Qt's arguments() turn bytes that are not
    // UTF-8 into U+FFFD).
    for (int i = qtArgc - 1; i >= 0; --i)
        arguments.prepend(volaro::base::fileNameFromBytes(argv[i]));
    // One player per session: a start while one runs hands its file over and ends at once,
    // as a file URL, which carries any name (the bus carries UTF-8 only).
    SingleInstance instance;
    const QString handOver = volaro::app::handOverPath(arguments);
    const SingleInstance::Start start =
        instance.claim(QDBusConnection::sessionBus(),
                       handOver.isEmpty() ? handOver : volaro::base::fileUrl(handOver).toString(),
                       !volaro::app::newInstanceAsked(arguments));
    if (start == SingleInstance::Start::HandedOver)
        return 0;
    QApplication::setOrganizationName(QStringLiteral("Volaro"));
    QApplication::setApplicationName(QStringLiteral("Volaro"));
    QApplication::setApplicationVersion(QString::fromLatin1(volaro::base::VersionText));
    QApplication::setDesktopFileName(QStringLiteral("volaro"));
    QApplication::setWindowIcon(volaro::system::applicationIcon());

    IniSettingsStore settings;
    frmPlayer window(settings);
    // The session's player keeps the list; one beside it starts empty, as every start did.
    if (start != SingleInstance::Start::Beside)
        window.keepListIn(ListKeeper::defaultFile());
    UnixSignals signalWatcher;
    bool loaded = false;
    bool terminating = false;
    QObject::connect(&instance, &SingleInstance::openRequested, &window, [&](const QString& path) {
        if (!loaded || !window.isVisible()) // closing: no song starts again
            return;
        if (!path.isEmpty())
            window.openAndPlay(path.startsWith(u'/') ? path
                                                     : volaro::base::localPathOf(QUrl(path)));
        window.bringToFront();
    });
    // Closing the window runs the shutdown. A request that comes while the window is still
    // loading (it answers between the batches of a long list) cuts the list's reading short
    // and closes once the load has returned, so that no half-read settings are saved.
    QObject::connect(&signalWatcher, &UnixSignals::terminationRequested, &window, [&] {
        terminating = true;
        if (!loaded) {
            window.stopLoading();
            return;
        }
        window.closeUnattended();
        QApplication::quit();
    });
    try {
        window.Form_Load(arguments);
    } catch (const std::exception& e) {
        if (terminating)
            return 1;
        QObject::connect(&signalWatcher, &UnixSignals::terminationRequested,
                         [] { QApplication::exit(1); });
        QMessageBox::critical(nullptr, QStringLiteral("Volaro PRO"),
                              QStringLiteral("Volaro cannot start: the list of sound outputs "
                                             "cannot be read.\n\n%1")
                                  .arg(QString::fromLocal8Bit(e.what())));
        return 1;
    }
    loaded = true;
    if (terminating) {
        window.closeUnattended();
        return 0;
    }
    // Media keys and the desktop's player controls; without a session bus, quietly none.
    MprisBridge mpris(window);
    window.show();
    return app.exec();
}
