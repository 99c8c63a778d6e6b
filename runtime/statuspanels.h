#pragma once

#include "runtime/twips.h"

#include <QLabel>
#include <QStatusBar>
#include <vector>

namespace lumora::runtime {

// A status bar of numbered panels (from 1), each a text with an optional picture.
class StatusPanels final {
public:
    // Adds one panel per width (twips) to `bar`.
    StatusPanels(QStatusBar &bar, const std::vector<int> &widthsTwips, TwipScale scale);

    int count() const { return static_cast<int>(m_panels.size()); }
    QString text(int panel) const;
    void setText(int panel, const QString &text);
    // `name` is what a screen reader calls the picture.
    void setPicture(int panel, const QPixmap &picture, const QString &name);
    QLabel *label(int panel) const;
    // Paints the bar at once, without waiting for the event loop.
    void Refresh();

private:
    QLabel &at(int panel) const;

    QStatusBar &m_bar;
    std::vector<QLabel *> m_panels;
    std::vector<QLabel *> m_pictures;
};

} // namespace lumora::runtime
