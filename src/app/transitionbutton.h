#pragma once

// One of the five transition option buttons: a checkable button that shows the picture of
// its transition's two volume curves instead of a caption.

#include <QAbstractButton>

namespace volaro::app {

class TransitionButton final : public QAbstractButton {
    Q_OBJECT
public:
    TransitionButton(int type, QWidget* parent = nullptr);
    int type() const { return m_type; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_type;
};

} // namespace volaro::app
