#pragma once

// Arithmetic of the About window kept apart from the widget so it can be checked alone:
// the version caption and the centring rule, both in the window's design units (twips).

#include <QPoint>
#include <QSizeF>
#include <QString>

namespace volaro::system {

// "Version " + major + "." + minor + revision: one point only, so (3, 2, 1) reads
// "Version 3.21" and (3, 10, 5) reads "Version 3.105".
QString versionLabel(int major, int minor, int revision);

// The label for the version numbers built into this program.
QString programVersionLabel();

// Offset that centres a window extent within a screen extent: the difference is first
// rounded to a whole number (halves to even) and then halved keeping the whole part
// (toward zero). Negative when the window is larger than the screen.
int centredOffset(double screenExtent, double windowExtent);

// Top-left corner (x = left, y = top) centring a window on a screen; both sizes in the
// same unit, the result in that unit relative to the screen's own top-left corner.
QPoint centredOrigin(const QSizeF& screen, const QSizeF& window);

} // namespace volaro::system
