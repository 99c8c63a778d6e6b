#pragma once

// How logical coordinates map onto the picture's frame: the window, the viewport and the map
// mode of the metafile's device context, shared by the parser (which finds the frame) and
// the player (which stretches the frame onto the target).

#include "picture/wmf/wmfformat.h"

#include <QPointF>
#include <QRectF>
#include <algorithm>
#include <cmath>

namespace lumora::picture::wmf {

struct MappingContext {
    // Frame units per inch: the placeable header's units per inch, or 96 without it. The
    // fixed map modes (MM_TEXT, MM_LOMETRIC ... MM_TWIPS) turn their physical units into these.
    double frameUnitsPerInch = 96.0;
    // While a file sets no viewport extent, a player's viewport is the picture's own rectangle:
    // the window in effect when drawing starts, in its logical units. Every later window maps
    // onto this same rectangle, so a file that changes its window extent to lay out parts of
    // the drawing moves and scales those parts instead of drawing them at the first scale.
    QRectF viewport;
    bool hasViewport = false;
};

// One axis-aligned affine map per axis: x' = ax * x + bx, y' = ay * y + by.
struct AxisMap {
    double ax = 1.0, bx = 0.0, ay = 1.0, by = 0.0;
    QPointF map(double x, double y) const { return {ax * x + bx, ay * y + by}; }
    double mapX(double x) const { return ax * x + bx; }
    double mapY(double y) const { return ay * y + by; }
    // This map followed by `outer`.
    AxisMap then(const AxisMap &outer) const
    {
        return {outer.ax * ax, outer.ax * bx + outer.bx, outer.ay * ay, outer.ay * by + outer.by};
    }
};

struct MappingState {
    int mode = mapmode::Anisotropic; // files without a map-mode record are anisotropic
    double winOrgX = 0, winOrgY = 0, winExtX = 1, winExtY = 1;
    double vpOrgX = 0, vpOrgY = 0, vpExtX = 1, vpExtY = 1;
    bool windowExtSet = false;   // by a record of the file
    bool viewportExtSet = false; // by a record of the file

    bool isFixed() const { return mode != mapmode::Isotropic && mode != mapmode::Anisotropic; }

    void setWindowOrg(double x, double y)
    {
        winOrgX = x;
        winOrgY = y;
    }
    void offsetWindowOrg(double x, double y)
    {
        winOrgX += x;
        winOrgY += y;
    }
    // A zero extent is refused, as GDI refuses it.
    void setWindowExt(double x, double y)
    {
        if (x == 0 || y == 0)
            return;
        winExtX = x;
        winExtY = y;
        windowExtSet = true;
    }
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
    {
        if (xDen == 0 || yDen == 0)
            return;
        setWindowExt(winExtX * xNum / xDen, winExtY * yNum / yDen);
    }
    void setViewportOrg(double x, double y)
    {
        vpOrgX = x;
        vpOrgY = y;
    }
    void offsetViewportOrg(double x, double y)
    {
        vpOrgX += x;
        vpOrgY += y;
    }
    void setViewportExt(double x, double y)
    {
        if (x == 0 || y == 0)
            return;
        vpExtX = x;
        vpExtY = y;
        viewportExtSet = true;
    }
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
    {
        if (xDen == 0 || yDen == 0)
            return;
        setViewportExt(vpExtX * xNum / xDen, vpExtY * yNum / yDen);
    }
    void setMapMode(int m)
    {
        if (m >= mapmode::Text && m <= mapmode::Anisotropic)
            mode = m;
    }

    // Logical coordinates to frame units. In the fixed modes a logical unit has a physical
    // size and the extents are ignored; in the other two the window maps onto the viewport:
    // the file's own once it sets a viewport extent, before that the picture's rectangle, and
    // a logical unit is one frame unit while there is no window to map either.
    AxisMap logicalToFrame(const MappingContext &ctx) const
    {
        if (isFixed())
            return fixedToFrame(ctx);
        double sx = 1.0, sy = 1.0, ox = vpOrgX, oy = vpOrgY;
        if (viewportExtSet) {
            sx = vpExtX / winExtX;
            sy = vpExtY / winExtY;
        } else if (ctx.hasViewport && windowExtSet) {
            sx = ctx.viewport.width() / winExtX;
            sy = ctx.viewport.height() / winExtY;
            ox += ctx.viewport.left();
            oy += ctx.viewport.top();
        }
        if (mode == mapmode::Isotropic) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        return {sx, ox - winOrgX * sx, sy, oy - winOrgY * sy};
    }

private:
    AxisMap fixedToFrame(const MappingContext &ctx) const
    {
        static constexpr double kUnitsPerInch[] = {96.0, 254.0, 2540.0, 100.0, 1000.0, 1440.0};
        const double k = ctx.frameUnitsPerInch / kUnitsPerInch[mode - mapmode::Text];
        // The metric and English modes count y upwards.
        const double sy = mode == mapmode::Text ? k : -k;
        return {k, vpOrgX - winOrgX * k, sy, vpOrgY - winOrgY * sy};
    }
};

} // namespace lumora::picture::wmf
