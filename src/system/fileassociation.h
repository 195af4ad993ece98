#pragma once

// Making Volaro the desktop's handler of MP3 files and M3U playlists, the way freedesktop.org
// desktops keep associations: a desktop entry for the running program, its icon in the
// user's hicolor theme, and [Default Applications] lines in the user's mimeapps.list.
//
// Every file is written atomically (temporary file, then rename) and only when its content
// changes, so running it again changes nothing and a failure leaves the old file intact.

#include <QByteArrayList>
#include <QString>

namespace volaro::system {

// Name of the desktop entry, which is also its desktop file id.
inline constexpr char DesktopFileName[] = "volaro.desktop";

// The MIME types we claim: MP3 and both names of M3U playlists.
QByteArrayList associatedMimeTypes();

struct AssociationPlaces {
    QString programPath; // absolute path of the program the desktop should start
    QString dataHome;    // the user's XDG data folder (applications/, icons/ below it)
    QString configHome;  // the user's XDG config folder (mimeapps.list in it)
};

// The running program and the user's folders from XDG_DATA_HOME and XDG_CONFIG_HOME,
// falling back to ~/.local/share and ~/.config when unset or not absolute.
AssociationPlaces currentAssociationPlaces();

// Writes the icons, the desktop entry and then mimeapps.list. A failed icon does not stop
// the rest; without the desktop entry mimeapps.list is left alone, as a default pointing
// to a missing entry would break opening those files. True when everything was written.
bool registerFileTypesIn(const AssociationPlaces& places);

// Handler of "Set Volaro as Default Player": registers the running program. Nothing asks
// and nothing reports; failures leave the existing files as they were.
void RegisterFileTypes();

} // namespace volaro::system
