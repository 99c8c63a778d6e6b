#pragma once

#include "runtime/mainhost.h"
#include "runtime/picturebox.h"

#include <QWidget>

class QMdiSubWindow;
class QPushButton;
class QStatusBar;

namespace lumora::print {

// `frmpreview`: a US Letter sheet, scaled down, with the picture one inch from its left and
// top edges. The zoom state is nothing but the sheet's size.
class PreviewWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kBackColor = 0xFFC0C0FF; // &H00FFC0C0
    static constexpr QRgb kShadowColor = 0xFF404040;

    // A sheet beyond this many pixels is refused rather than allocated: 32 megapixels is eight
    // 4K screens, a page at over 600 dots per inch, and costs 128 MiB already.
    static constexpr qint64 kMaxSheetPixels = qint64(32) << 20;

    // Creates the window inside the main window in its designed state, not yet shown.
    static PreviewWindow *Load(runtime::MainHost &host);

    QMdiSubWindow &frame() const { return *m_frame; }
    void Show();
    bool unloaded() const { return m_unloaded; }

    // Puts `picture` into `pictemp` and paints it on a cleared sheet at the sheet's scale.
    void showPicture(const picture::Picture &picture);

    QPushButton &cmdzoomout() const { return *m_cmdzoomout; }
    QPushButton &cmdzoom() const { return *m_cmdzoom; }
    QPushButton &cmdclose() const { return *m_cmdclose; }
    runtime::PictureBox &pichoja() const { return *m_pichoja; }
    QWidget &sombra() const { return *m_sombra; }
    runtime::PictureBox &pictemp() const { return *m_pictemp; }
    QStatusBar &StatusBar1() const { return *m_statusBar; }

    void cmdzoom_Click();
    void cmdzoomout_Click();
    void cmdclose_Click();

    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    explicit PreviewWindow(runtime::MainHost &host);
    QPushButton *makeButton(const QString &name, const QString &caption, double left,
                            void (PreviewWindow::*handler)());
    void place(QWidget &widget, double left, double top, double width, double height) const;
    void zoom(double factor, const QString &failure);
    void paintSheet(const QRectF &twips);

    runtime::MainHost &m_host;
    TwipScale m_scale;
    QMdiSubWindow *m_frame = nullptr;
    QPushButton *m_cmdzoomout;
    QPushButton *m_cmdzoom;
    QPushButton *m_cmdclose;
    QWidget *m_sombra;
    runtime::PictureBox *m_pichoja;
    runtime::PictureBox *m_pictemp;
    QStatusBar *m_statusBar;
    bool m_unloaded = false;
};

} // namespace lumora::print
