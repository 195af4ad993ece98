#include "app/transitionbutton.h"

#include "playback/transitionpicture.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace volaro::app {

using playback::drawTransitionPicture;
using playback::transitionName;

TransitionButton::TransitionButton(int type, QWidget* parent)
    : QAbstractButton(parent)
    , m_type(type) {
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(transitionName(type));
    setToolTip(transitionName(type));
}

QSize TransitionButton::sizeHint() const {
    return {75, 26};
}

void TransitionButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawTransitionPicture(painter, rect(), m_type, isChecked() || isDown());
    if (hasFocus()) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &painter, this);
    }
}

} // namespace volaro::app
