#include "system/fileassociation.h"

#include "base/atomicfile.h"
#include "system/appicon.h"
#include "system/desktopentry.h"
#include "system/mimeappslist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace volaro::system {

namespace {

QString xdgHome(const char* variable, const QString& belowHome) {
    const QString value = qEnvironmentVariable(variable);
    // The base directory rules say relative values are invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + u'/' + belowHome;
}

// Reads a file that may be missing; false when it exists but cannot be read, so that
// nothing is ever written over content we could not see.
bool readExisting(const QString& path, QByteArray* content) {
    content->clear();
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool writeIfChanged(const QString& path, const QByteArray& content) {
    QByteArray existing;
    if (readExisting(path, &existing) && QFileInfo::exists(path) && existing == content)
        return true;
    // Replacing by rename would get past a file the user made read-only: respect it.
    // (Checked for the effective user, which is who writes.)
    const QFileInfo info(path);
    if (info.exists() &&
        faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) != 0)
        return false;
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    return base::writeFileAtomically(path, content).isEmpty();
}

QByteArray desktopEntryTemplate() {
    QFile file(QStringLiteral(":/volaro/volaro.desktop.in"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeIcons(const QString& dataHome) {
    const QString theme = dataHome + QStringLiteral("/icons/hicolor/");
    const QString fileName = QString::fromLatin1(AppIconName);
    const QByteArray svg = appIconSvg();
    if (svg.isEmpty())
        return false;
    bool ok = writeIfChanged(theme + QStringLiteral("scalable/apps/") + fileName + ".svg", svg);
    for (int size : appIconPixelSizes()) {
        const QByteArray png = pngBytes(renderIcon(svg, size));
        const QString dir = QStringLiteral("%1x%1/apps/").arg(size);
        ok = !png.isEmpty() && writeIfChanged(theme + dir + fileName + ".png", png) && ok;
    }
    return ok;
}

} // namespace

QByteArrayList associatedMimeTypes() {
    return {"audio/mpeg", "audio/x-mpegurl", "audio/mpegurl"};
}

AssociationPlaces currentAssociationPlaces() {
    // Empty when the system cannot tell (no /proc): then nothing is registered at all.
    const QString program = QCoreApplication::applicationFilePath();
    return {program.isEmpty() ? QString() : QFileInfo(program).absoluteFilePath(),
            xdgHome("XDG_DATA_HOME", QStringLiteral(".local/share")),
            xdgHome("XDG_CONFIG_HOME", QStringLiteral(".config"))};
}

bool registerFileTypesIn(const AssociationPlaces& places) {
    // The desktop starts the program from anywhere: only an absolute path will do.
    if (!QDir::isAbsolutePath(places.programPath) || places.dataHome.isEmpty() ||
        places.configHome.isEmpty())
        return false;

    const bool iconsOk = writeIcons(places.dataHome);

    const QByteArray entryTemplate = desktopEntryTemplate();
    if (entryTemplate.isEmpty())
        return false;
    const QString entryPath =
        places.dataHome + QStringLiteral("/applications/") + QString::fromLatin1(DesktopFileName);
    if (!writeIfChanged(entryPath, desktopEntryFromTemplate(entryTemplate, places.programPath)))
        return false;

    const QString listPath = places.configHome + QStringLiteral("/mimeapps.list");
    QByteArray list;
    if (!readExisting(listPath, &list))
        return false;
    const QByteArray updated =
        withDefaultApplication(list, associatedMimeTypes(), QByteArray(DesktopFileName));
    return writeIfChanged(listPath, updated) && iconsOk;
}

void RegisterFileTypes() {
    registerFileTypesIn(currentAssociationPlaces());
}

} // namespace volaro::system
