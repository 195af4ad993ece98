#pragma once

// A label that acts as a link: blue text, hand pointer, clicked() on a left click or on
// Space/Return while it has the keyboard focus.

#include <QLabel>

namespace volaro::system {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_pressed = false;
};

} // namespace volaro::system
