#include "playback/transitionpicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <vector>

namespace volaro::playback {

namespace {

// A curve as points of (time 0..1, level 0..1), closed along the bottom edge.
using Curve = std::vector<QPointF>;

struct Shape {
    Curve outgoing;
    Curve incoming;
};

Shape shapeOf(int type) {
    switch (type) {
    case 0: // both over the whole time: two crossing diagonals
        return {{{0, 0}, {0, 1}, {1, 0}}, {{0, 0}, {1, 1}, {1, 0}}};
    case 1: // incoming up in the first half, outgoing down in the second: long overlap
        return {{{0, 0}, {0, 1}, {0.5, 1}, {1, 0}}, {{0, 0}, {0.5, 1}, {1, 1}, {1, 0}}};
    case 2: // outgoing down, then incoming up: a dip between them
        return {{{0, 0}, {0, 1}, {0.44, 0}}, {{0.56, 0}, {1, 1}, {1, 0}}};
    case 3: // both at full level together
        return {{{0, 0}, {0, 1}, {0.78, 1}, {0.78, 0}}, {{0.22, 0}, {0.22, 1}, {1, 1}, {1, 0}}};
    case 4: // a hard switch
        return {{{0, 0}, {0, 1}, {0.47, 1}, {0.47, 0}}, {{0.53, 0}, {0.53, 1}, {1, 1}, {1, 0}}};
    default:
        return {};
    }
}

QPainterPath pathOf(const Curve& curve, const QRectF& area) {
    QPolygonF polygon;
    for (const QPointF& p : curve)
        polygon << QPointF(area.left() + p.x() * area.width(),
                           area.bottom() - p.y() * area.height());
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

} // namespace

QString transitionName(int type) {
    switch (type) {
    case 0:
        return QStringLiteral("Cross Dissolve");
    case 1:
        return QStringLiteral("Up Down");
    case 2:
        return QStringLiteral("Down  Up");
    case 3:
        return QStringLiteral("Mix");
    case 4:
        return QStringLiteral("Cut");
    default:
        return {};
    }
}

void drawTransitionPicture(QPainter& painter, const QRect& rect, int type, bool pressed) {
    if (rect.width() < 4 || rect.height() < 4)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QColor light(Qt::white);
    const QColor dark(Qt::darkGray);
    painter.fillRect(rect, pressed ? QColor(0xd8, 0xd8, 0xd8) : QColor(Qt::white));

    // Bevel: raised when idle, sunken (and the picture nudged) when pressed.
    painter.setPen(pressed ? dark : light);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(pressed ? light : dark);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());

    const int nudge = pressed ? 1 : 0;
    const QRectF area = QRectF(rect).adjusted(3 + nudge, 3 + nudge, -3 + nudge, -3 + nudge);
    const Shape shape = shapeOf(type);
    if (!shape.outgoing.empty()) {
        const QPainterPath out = pathOf(shape.outgoing, area);
        const QPainterPath in = pathOf(shape.incoming, area);
        const QPainterPath both = out.intersected(in);
        painter.setPen(Qt::NoPen);
        painter.fillPath(out, QColor(Qt::red));
        painter.fillPath(in, QColor(Qt::blue));
        if (!both.isEmpty()) {
            painter.fillPath(both, QColor(Qt::red));
            painter.fillPath(both, QBrush(QColor(Qt::blue), Qt::BDiagPattern));
        }
    }
    painter.restore();
}

} // namespace volaro::playback
