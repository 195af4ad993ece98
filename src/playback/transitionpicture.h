#pragma once

// Pictures and names of the five transition types, for the option buttons. Drawn by
// code so they scale with the button: the outgoing song's volume curve in red on the
// left, the incoming song's in blue on the right, where they overlap hatched in both.

#include "playback/playbackengine.h"

#include <QRect>
#include <QString>

class QPainter;

namespace volaro::playback {

// "Cross Dissolve", "Up Down", "Down  Up", "Mix", "Cut"; empty for other indices.
QString transitionName(int type);

// Draws picture `type` into `rect`; `pressed` gives the sunken look of a chosen button.
void drawTransitionPicture(QPainter& painter, const QRect& rect, int type, bool pressed);

} // namespace volaro::playback
