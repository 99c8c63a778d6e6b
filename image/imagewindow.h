#pragma once

#include "runtime/mainhost.h"
#include "runtime/picturebox.h"

#include <QWidget>
#include <functional>
#include <memory>

class QMdiSubWindow;

namespace lumora::image {

class PictureLoad;

// `frmpicture`: one child window per opened picture. `pictrans` (hidden) keeps the picture
// exactly as loaded; `picdibujo` shows it, keeping what is painted on it.
class ImageWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kBackColor = 0xFFE0E0E0;

    // Creates a new instance inside the main window, loaded but not shown.
    static ImageWindow *Load(runtime::MainHost &host);

    QMdiSubWindow &frame() const { return *m_frame; }
    QString Caption() const;
    void setCaption(const QString &caption);
    void Show();

    runtime::PictureBox &picdibujo() { return *m_picdibujo; }
    runtime::PictureBox &pictrans() { return *m_pictrans; }
    const runtime::PictureBox &picdibujo() const { return *m_picdibujo; }
    const runtime::PictureBox &pictrans() const { return *m_pictrans; }

    // What to do with the read of the picture once it is over, on the window's thread.
    using LoadEnd = std::function<void(ImageWindow &, PictureLoad &)>;
    // Keeps the read of the window's picture while its rows arrive in picdibujo, and runs
    // `end` when it is over. Closing the window stops the read.
    void receive(std::unique_ptr<PictureLoad> load, LoadEnd end);
    bool isArriving() const { return m_load != nullptr; }
    // A picture still arriving is finished first, with the wait cursor, so that what acts on
    // the window sees the whole picture (or the empty window of a failed read).
    void waitForPicture();
    // pictrans as designed, with no picture.
    void restorePictrans();

    void Form_Activate();
    void Form_Unload();
    void picdibujo_MouseDown(Qt::MouseButton button, const QPoint &globalPos);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ImageWindow(runtime::MainHost &host);
    ~ImageWindow() override;
    void endLoad();

    runtime::MainHost &m_host;
    QMdiSubWindow *m_frame = nullptr;
    runtime::PictureBox *m_picdibujo;
    runtime::PictureBox *m_pictrans;
    bool m_unloaded = false;
    std::unique_ptr<PictureLoad> m_load;
    LoadEnd m_loadEnd;
};

// The image window of the main window's active child, or nullptr when that child is not one.
ImageWindow *asImageWindow(QWidget *form);

} // namespace lumora::image
