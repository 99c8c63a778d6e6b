#include "about/aboutdialog.h"

#include "about/linklabel.h"
#include "about/sysinfo.h"
#include "base/runtimeerror.h"
#include "picture/loadpicture.h"
#include "runtime/appinfo.h"
#include "runtime/form.h"
#include "runtime/formart.h"
#include "runtime/handlerguard.h"
#include "runtime/picturebox.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace lumora::about {

namespace {

const QColor kBlack(0, 0, 0);
const QColor kLinkBlue(0, 0, 255);
const QColor kGroove(128, 128, 128);

void setTextColor(QLabel &label, const QColor &color)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    label.setPalette(palette);
}

// The logo is stored with the program; without it the box stays empty.
picture::Picture aboutLogo()
{
    QFile file(QStringLiteral(":/assets/logo.wmf"));
    if (!file.open(QIODevice::ReadOnly))
        return picture::Picture();
    try {
        return picture::decodePicture(file.readAll());
    } catch (const RuntimeError &) {
        return picture::Picture();
    }
}

// The hand, drawn twice as fine on a scaled screen so that it is crisp at its usual size. A
// cursor's hot spot counts its picture's own pixels: the fingertip is at (12, 1) of the
// 32-pixel hand and at (24, 2) of the twice as fine one.
QCursor linkCursor()
{
    const QPixmap hand = runtime::artPixmap(QStringLiteral(":/assets/linkcursor.png"));
    if (hand.isNull())
        return QCursor(Qt::PointingHandCursor);
    const double fine = hand.devicePixelRatio();
    return QCursor(hand, qRound(12 * fine), qRound(1 * fine));
}

} // namespace

bool openWithDesktop(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

AboutDialog::AboutDialog(runtime::Dialogs &dialogs, Registry &registry, OpenUrl openUrl,
                         QWidget *parent, TwipScale scale)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs), m_registry(registry), m_openUrl(std::move(openUrl)), m_scale(scale)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Lumora"));
    setFont(runtime::formFont());
    setFixedSize(m_scale.toPixels(5730, 3555));
    buildControls();
    showLogo();
    orderTabs();
    connectHandlers();
    Form_Load();
}

QRect AboutDialog::pixels(int left, int top, int width, int height) const
{
    return {QPoint(m_scale.toPixels(left), m_scale.toPixels(top)), m_scale.toPixels(width, height)};
}

QLabel *AboutDialog::addLabel(const QString &name, const QString &caption, QRect geometry)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(name);
    label->setFont(runtime::formFont(8.25, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(geometry);
    setTextColor(*label, kBlack);
    return label;
}

void AboutDialog::buildControls()
{
    m_picIcon = new runtime::PictureBox(this, m_scale);
    m_picIcon->setObjectName(QStringLiteral("picIcon"));
    m_picIcon->setGeometry(pixels(0, 240, 1560, 2010));
    m_picIcon->setFocusPolicy(Qt::TabFocus);
    m_picIcon->setAccessibleName(QStringLiteral("Lumora logo"));

    m_lblTitle = addLabel(QStringLiteral("lblTitle"), QStringLiteral("Application Title"),
                          pixels(1680, 240, 3885, 480));
    m_lblTitle->setFont(runtime::formFont(9.75, true));
    m_lblVersion = addLabel(QStringLiteral("lblVersion"), QStringLiteral("Version"),
                            pixels(1680, 720, 2085, 225));
    m_lblVersion->setFont(runtime::formFont());
    m_lblDescription = addLabel(
        QStringLiteral("lblDescription"),
        QStringLiteral(
            "JPEG, WMF, BMP and GIF viewer with Screen Show, Print and Clipboard support."),
        pixels(1680, 1125, 3885, 1170));
    m_lblDisclaimer = addLabel(QStringLiteral("lblDisclaimer"),
                               QStringLiteral("\u00A9 The Lumora authors. Lumora is free to "
                                              "use and share, and comes without warranty of "
                                              "any kind."),
                               pixels(120, 2610, 3975, 645));

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setGeometry(pixels(4245, 2625, 1260, 345));
    m_cmdOK->setDefault(true);
    m_cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    m_cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    m_cmdSysInfo->setGeometry(pixels(4260, 3075, 1245, 345));

    // The last two are sized to their captions, as the mail address may be any length.
    m_Label2 =
        addLabel(QStringLiteral("Label2"), QStringLiteral("E-Mail:"), pixels(135, 3285, 600, 195));
    m_lblurl = new LinkLabel(kContactAddress, this);
    m_lblurl->setObjectName(QStringLiteral("lblurl"));
    m_lblurl->setFont(runtime::formFont(8.25, true));
    m_lblurl->setGeometry(pixels(855, 3285, 1470, 195));
    m_lblurl->setCursor(linkCursor());
    m_lblurl->setAccessibleDescription(QStringLiteral("Click to write a mail to this address"));
    setTextColor(*m_lblurl, kLinkBlue);
    for (QLabel *label : {m_Label2, static_cast<QLabel *>(m_lblurl)}) {
        label->setWordWrap(false);
        label->resize(label->sizeHint());
    }
}

void AboutDialog::showLogo()
{
    const picture::Picture logo = aboutLogo();
    if (logo.isNull())
        return;
    // Drawn to the box whatever the metafile's own size, as an image control draws it.
    try {
        m_picIcon->PaintPicture(logo, 0, 0, m_picIcon->ScaleWidth(), m_picIcon->ScaleHeight());
    } catch (const RuntimeError &) {
        m_picIcon->Cls();
    }
}

void AboutDialog::orderTabs()
{
    const QList<QWidget *> order{m_cmdOK,          m_picIcon,       m_cmdSysInfo,
                                 m_lblDescription, m_lblDisclaimer, m_lblTitle,
                                 m_lblVersion,     m_Label2,        m_lblurl};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    m_cmdOK->setFocus();
}

void AboutDialog::connectHandlers()
{
    const auto entered = [this](void (AboutDialog::*handler)()) {
        return
            [this, handler] { runtime::guard(m_dialogs, [this, handler] { (this->*handler)(); }); };
    };
    connect(m_cmdOK, &QPushButton::clicked, this, entered(&AboutDialog::cmdOK_Click));
    connect(m_cmdSysInfo, &QPushButton::clicked, this, entered(&AboutDialog::cmdSysInfo_Click));
    connect(m_lblurl, &LinkLabel::clicked, this, entered(&AboutDialog::lblurl_Click));
}

void AboutDialog::Form_Load()
{
    using runtime::App;
    setWindowTitle(QStringLiteral("About ") + App::Title());
    m_lblVersion->setText(
        QStringLiteral("Version %1.%2.%3").arg(App::Major).arg(App::Minor).arg(App::Revision));
    m_lblTitle->setText(App::Title());
}

void AboutDialog::cmdOK_Click()
{
    accept();
}

void AboutDialog::cmdSysInfo_Click()
{
    StartSysInfo();
}

void AboutDialog::lblurl_Click()
{
    if (!m_openUrl(QUrl(QStringLiteral("mailto:") + m_lblurl->text())))
        runtime::MsgBox(m_dialogs, QStringLiteral("Error executing command"), runtime::vbCritical,
                        QStringLiteral("Error"));
}

void AboutDialog::StartSysInfo()
{
    about::StartSysInfo(m_registry, m_dialogs);
}

bool AboutDialog::GetKeyValue(HKEY KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                              QString &KeyVal)
{
    return about::GetKeyValue(m_registry, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void AboutDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // `Line1`: a grey line with a white one, two pixels wide, just below it: an etched
    // groove between the description and the buttons.
    const auto at = [this](int x, int y) {
        return QPoint(m_scale.toPixels(x), m_scale.toPixels(y));
    };
    QPainter painter(this);
    painter.fillRect(QRect(at(90, 2445), at(5654, 2445)), kGroove);
    painter.fillRect(QRect(at(105, 2460), at(5654, 2460) + QPoint(0, 1)), Qt::white);
}

} // namespace lumora::about
