#pragma once

#include "runtime/mainhost.h"
#include "runtime/picturebox.h"
#include "runtime/timer.h"
#include "show/lumoramodule.h"
#include "show/readahead.h"
#include "show/showend.h"
#include "show/showsequence.h"

#include <QLabel>
#include <QWidget>

namespace lumora::show {

// `frmshow`: presents the show's pictures one at a time on a black full-screen window, each
// centred at its own size, with its path in green at the top left. Clicks and Page Down step
// in a manual show, a timer in an automatic one; Esc and stepping past the last picture end
// the show in an image window. Where each step goes is the sequence's matter; the player
// shows it.
class ShowPlayer final : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kLabelColor = 0xFF00C000;

    // Loads the form, running its load step, without showing it.
    static ShowPlayer *Load(runtime::MainHost &host, const ShowSettings &settings);
    void Show();
    void Unload();
    bool isUnloaded() const { return m_unloaded; }

    short ShowIndex() const { return m_sequence.index(); }

    void Form_Load();
    void Form_Click();
    void picshow_Click();
    void Form_KeyDown(int keyCode);
    void Form_KeyPress(int keyAscii);
    void tmrtiepo_Timer();

    runtime::PictureBox &picshow() const { return *m_picshow; }
    QLabel &lblfile() const { return *m_lblfile; }
    runtime::Timer &tmrtiepo() const { return *m_tmrtiepo; }
    const ReadAhead &readAhead() const { return m_readAhead; }
    // The form's inner size and the screen's size, in twips.
    double ScaleWidth() const;
    double ScaleHeight() const;
    double ScreenWidth() const;
    double ScreenHeight() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ShowPlayer(runtime::MainHost &host, const ShowSettings &settings);
    void advance(ShowSequence::Trigger trigger);
    void present(int index, ShowSequence::Trigger trigger);
    void centreByInnerSize();
    void centreByOuterSize();
    void applyScreenLimit();
    void showAt(const QString &path);
    void endShow(int index, ShowEnd how);
    QString entry(int index) const;
    // The middle of a picture the box can show, for reading only that much of it.
    QSize centreShown() const;
    picture::Picture loadEntry(int index);
    void readAheadNext();
    void run(void (ShowPlayer::*handler)());

    runtime::MainHost &m_host;
    const ShowSettings &m_settings;
    TwipScale m_scale;
    runtime::PictureBox *m_picshow;
    QLabel *m_lblfile;
    runtime::Timer *m_tmrtiepo;
    ReadAhead m_readAhead;
    ShowSequence m_sequence;
    bool m_unloaded = false;
};

} // namespace lumora::show
