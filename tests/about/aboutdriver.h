#pragma once

#include "about/aboutdialog.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace lumora::testing {

// Runs `drive` on the About box once its modal loop is running, and closes the box a few
// seconds later if `drive` left it open, so that a fault ends in a failed check, not a hang.
// Returns whether the box was still open when the safety net fired.
class AboutDriver final {
public:
    explicit AboutDriver(std::function<void(about::AboutDialog &)> drive)
        : m_drive(std::move(drive))
    {
        QTimer::singleShot(0, [this] { run(); });
    }

    // The box came up modal and active, and was driven.
    bool ran() const { return m_ran && m_active; }
    bool leftOpen() const { return m_leftOpen; }
    Qt::WindowModality modality() const { return m_modality; }

private:
    void run()
    {
        auto *dialog = qobject_cast<about::AboutDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        m_ran = true;
        m_modality = dialog->windowModality();
        QPointer<about::AboutDialog> guard(dialog);
        QTimer::singleShot(5000, [this, guard] {
            if (guard && guard->isVisible()) {
                m_leftOpen = true;
                guard->reject();
            }
        });
        // Keys reach shortcuts and the focused control only in the active window.
        m_active = QTest::qWaitForWindowActive(dialog);
        m_drive(*dialog);
    }

    std::function<void(about::AboutDialog &)> m_drive;
    bool m_ran = false;
    bool m_active = false;
    bool m_leftOpen = false;
    Qt::WindowModality m_modality = Qt::NonModal;
};

} // namespace lumora::testing
