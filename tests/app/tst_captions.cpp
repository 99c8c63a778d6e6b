// Every caption of every fixed-size form fits its control. The forms keep their designed sizes
// in twips, made for a narrow 8-point sans serif; a wider font cuts captions off ("Automatic
// Transitior"), which only shows in a walk over all of them at 96 dots per inch.
#include "about/aboutdialog.h"
#include "about/memoryregistry.h"
#include "app/splash.h"
#include "image/fileopen.h"
#include "runtime/statuspanels.h"
#include "show/lumoramodule.h"
#include "show/showplayer.h"
#include "tests/support/harness.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QtTest>

using namespace lumora;

namespace {

// The text a control shows and the width it has for it; no text where it shows none.
struct Caption {
    QString text;
    int room = 0;
};

int buttonContentsWidth(QAbstractButton &button, QStyle::SubElement element)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return button.style()->subElementRect(element, &option, &button).width();
}

Caption captionOf(QWidget &control)
{
    if (auto *box = qobject_cast<QCheckBox *>(&control))
        return {box->text(), buttonContentsWidth(*box, QStyle::SE_CheckBoxContents)};
    if (auto *radio = qobject_cast<QRadioButton *>(&control))
        return {radio->text(), buttonContentsWidth(*radio, QStyle::SE_RadioButtonContents)};
    if (auto *button = qobject_cast<QPushButton *>(&control))
        return {button->text(), buttonContentsWidth(*button, QStyle::SE_PushButtonContents)};
    if (auto *group = qobject_cast<QGroupBox *>(&control))
        return {group->title(), group->width()};
    auto *label = qobject_cast<QLabel *>(&control);
    if (!label || label->wordWrap() || label->textFormat() == Qt::RichText)
        return {};
    return {label->text(),
            label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0)};
}

// "Control 'caption' needs N pixels, has M" for each visible control whose caption is cut.
QStringList cutCaptions()
{
    QStringList cut;
    for (QWidget *control : QApplication::allWidgets()) {
        if (!control->isVisible())
            continue;
        const Caption caption = captionOf(*control);
        const QString shown = QString(caption.text).remove(QRegularExpression("&(?!&)"));
        const int needed = control->fontMetrics().horizontalAdvance(shown);
        if (!shown.isEmpty() && needed > caption.room)
            cut << QStringLiteral("%1 in %2: '%3' needs %4 pixels, has %5")
                       .arg(control->objectName(), control->window()->objectName(), shown)
                       .arg(needed)
                       .arg(caption.room);
    }
    return cut;
}

} // namespace

class TestCaptions final : public QObject {
    Q_OBJECT

private slots:
    void everyCaptionOfEveryFormFits();
};

void TestCaptions::everyCaptionOfEveryFormFits()
{
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    // The second panel shows the picture's path: a short one, whatever the checkout's path.
    QTemporaryDir folder;
    const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(QFile::copy(testing::testData(QStringLiteral("pictures/j-baseline-420.jpg")), photo));
    testing::MainWindowHarness h;
    // The only caption the first panel takes.
    h.window->StatBar().setText(1, QStringLiteral("Printing..."));
    image::openPictureWindow(*h.window, photo);
    h.window->mnufilepp_Click();
    h.window->mnufileopenmulti_Click();
    about::MemoryRegistry registry;
    about::AboutDialog about(h.dialogs, registry, about::openWithDesktop);
    about.show();
    auto *splash = new app::Splash([] {});
    splash->show();
    show::ShowSettings settings;
    settings.ShowFiles = {photo};
    show::ShowPlayer *player = testing::startShow(*h.window, settings);
    QVERIFY(player);

    const QStringList cut = cutCaptions();
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    player->Unload();
    splash->close();
}

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
