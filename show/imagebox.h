#pragma once

#include "picture/picture.h"

#include <QFrame>
#include <QImage>

namespace lumora::show {

// The image control: shows its picture stretched to its own size, inside a thin border. It
// can also show the word "Error" over whatever it shows.
class ImageBox final : public QFrame {
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

    const picture::Picture &picture() const { return m_picture; }
    // A null picture empties the control.
    void setPicture(const picture::Picture &picture);
    bool showsError() const { return m_error; }
    void setShowsError(bool on);
    // What the control shows inside its border.
    QImage rendered() const { return m_rendered; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    // Tells a screen reader what the control shows.
    void describe();

    picture::Picture m_picture;
    QImage m_rendered; // the picture stretched once, so repaints do not scale a big photo
    bool m_error = false;
};

} // namespace lumora::show
