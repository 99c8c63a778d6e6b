#pragma once

class QMdiArea;
class QWidget;

namespace lumora::app {

// The keys every multiple-document window answers without a menu item: Ctrl+F4 closes the
// active child as its close button does, Ctrl+Tab and Ctrl+Shift+Tab move to the next and the
// previous child. They work wherever the focus is inside `window`.
void installMdiKeys(QWidget &window, QMdiArea &area);

} // namespace lumora::app
