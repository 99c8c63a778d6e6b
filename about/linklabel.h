#pragma once

#include <QLabel>

namespace lumora::about {

// A label that reports a click: the left button pressed and released over it.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace lumora::about
