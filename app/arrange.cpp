#include "app/arrange.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace lumora::app {

std::vector<QRect> tileRects(int count, const QSize &area, Arrangement arrangement)
{
    std::vector<QRect> rects;
    if (count <= 0 || arrangement == Arrangement::Cascade)
        return rects;
    const bool stacked = arrangement == Arrangement::TileHorizontal;
    const int total = stacked ? area.height() : area.width();
    const int step = total / count;
    for (int i = 0; i < count; ++i) {
        const int start = i * step;
        const int length = (i == count - 1) ? total - start : step;
        rects.push_back(stacked ? QRect(0, start, area.width(), length)
                                : QRect(start, 0, length, area.height()));
    }
    return rects;
}

void Arrange(QMdiArea &area, Arrangement arrangement)
{
    if (arrangement == Arrangement::Cascade) {
        area.cascadeSubWindows();
        return;
    }
    std::vector<QMdiSubWindow *> windows;
    for (QMdiSubWindow *window : area.subWindowList(QMdiArea::CreationOrder)) {
        if (window->isVisible() && !window->isMinimized())
            windows.push_back(window);
    }
    const std::vector<QRect> rects =
        tileRects(static_cast<int>(windows.size()), area.viewport()->size(), arrangement);
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i]->isMaximized())
            windows[i]->showNormal();
        windows[i]->setGeometry(rects[i]);
    }
}

} // namespace lumora::app
