#pragma once

#include "about/registry.h"
#include "runtime/dialogs.h"
#include "runtime/twips.h"

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace lumora::runtime {
class PictureBox;
}

namespace lumora::about {

class LinkLabel;

// Hands a URL to the desktop's handler for it; false when no handler could be started.
using OpenUrl = std::function<bool(const QUrl &)>;
bool openWithDesktop(const QUrl &url);

// The contact address behind the mail link.
inline constexpr QLatin1String kContactAddress("lumora@example.org");

// `frmAbout`: the program's title, version and description, a rights notice, the mail link
// and the button that starts the system-information tool.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    AboutDialog(runtime::Dialogs &dialogs, Registry &registry, OpenUrl openUrl,
                QWidget *parent = nullptr, TwipScale scale = runtime::screenScale());

    runtime::PictureBox &picIcon() { return *m_picIcon; }
    QLabel &lblTitle() { return *m_lblTitle; }
    QLabel &lblVersion() { return *m_lblVersion; }
    QLabel &lblDescription() { return *m_lblDescription; }
    QLabel &lblDisclaimer() { return *m_lblDisclaimer; }
    QLabel &Label2() { return *m_Label2; }
    LinkLabel &lblurl() { return *m_lblurl; }
    QPushButton &cmdOK() { return *m_cmdOK; }
    QPushButton &cmdSysInfo() { return *m_cmdSysInfo; }

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblurl_Click();

    void StartSysInfo();
    bool GetKeyValue(HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                     QString &KeyVal);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect pixels(int left, int top, int width, int height) const;
    QLabel *addLabel(const QString &name, const QString &caption, QRect geometry);
    void buildControls();
    void showLogo();
    void connectHandlers();
    void orderTabs();

    runtime::Dialogs &m_dialogs;
    Registry &m_registry;
    OpenUrl m_openUrl;
    TwipScale m_scale;
    runtime::PictureBox *m_picIcon = nullptr;
    QLabel *m_lblTitle = nullptr;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblDescription = nullptr;
    QLabel *m_lblDisclaimer = nullptr;
    QLabel *m_Label2 = nullptr;
    LinkLabel *m_lblurl = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdSysInfo = nullptr;
};

} // namespace lumora::about
