#pragma once

// A push button whose caption wraps onto several lines when it is wider than the button,
// as the design's narrow buttons expect.

#include <QPushButton>

namespace volaro::app {

class WrappingButton final : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace volaro::app
