#pragma once

#include "runtime/twips.h"

#include <QFont>
#include <QWidget>

namespace lumora::runtime {

// A form's classic geometry in twips. `client` is the form's client area; its frame is the
// multiple-document child window around it, or the top-level window itself.
struct FormMetrics {
    double Left = 0;
    double Top = 0;
    double Width = 0; // outer, with the frame
    double Height = 0;
    double ScaleWidth = 0; // inner
    double ScaleHeight = 0;
};

// The window that frames `client` (its multiple-document child window, or itself).
QWidget &formFrame(QWidget &client);
const QWidget &formFrame(const QWidget &client);

FormMetrics measureForm(const QWidget &client, const TwipScale &scale);

// Moves and sizes the form's frame. Refused with a run-time error while the form is
// maximized or minimized, as the classic runtime refuses it.
void moveForm(QWidget &client, double left, double top, double width, double height,
              const TwipScale &scale);

// The classic mouse pointers a form can take.
enum MousePointer : int { vbDefault = 0, vbArrow = 1, vbHourglass = 11 };
void setMousePointer(QWidget &form, int pointer);
int mousePointer(const QWidget &form);

// The font of the fixed-size forms. Their sizes in twips were designed for a narrow 8-point
// sans serif; a font with Arial's metrics (Liberation Sans, which the package depends on) fits
// every caption in them, where the desktop's default sans serif is wider and cuts some.
QFont formFont(double points = 8.25, bool bold = false);

} // namespace lumora::runtime
