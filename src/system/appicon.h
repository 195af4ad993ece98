#pragma once

// The application's icon: one SVG of our own, built into the library, rendered to PNG for
// the icon theme's fixed sizes and to a pixmap for the About window's logo.

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QList>

namespace volaro::system {

// Icon name in the hicolor theme and in the desktop entry's Icon key.
inline constexpr char AppIconName[] = "volaro";

// The pixel sizes the theme gets besides the scalable SVG.
QList<int> appIconPixelSizes();

// The SVG source of the icon.
QByteArray appIconSvg();

// The SVG drawn into a square transparent image of size x size pixels, keeping its aspect
// ratio. A null image when the SVG cannot be read or the size is not positive.
QImage renderIcon(const QByteArray& svg, int size);

// The image as PNG file content (empty on failure).
QByteArray pngBytes(const QImage& image);

// The icon for windows (needs a QGuiApplication): one pixmap per theme size.
QIcon applicationIcon();

} // namespace volaro::system
