#include "system/aboutlayout.h"

#include "base/version.h"

#include <cmath>

namespace volaro::system {

QString versionLabel(int major, int minor, int revision) {
    return QStringLiteral("Version %1.%2%3").arg(major).arg(minor).arg(revision);
}

QString programVersionLabel() {
    return versionLabel(base::VersionMajor, base::VersionMinor, base::VersionRevision);
}

int centredOffset(double screenExtent, double windowExtent) {
    // nearbyint follows the default rounding mode, which rounds halves to even.
    const auto difference = static_cast<long long>(std::nearbyint(screenExtent - windowExtent));
    return static_cast<int>(difference / 2);
}

QPoint centredOrigin(const QSizeF& screen, const QSizeF& window) {
    return {centredOffset(screen.width(), window.width()),
            centredOffset(screen.height(), window.height())};
}

} // namespace volaro::system
