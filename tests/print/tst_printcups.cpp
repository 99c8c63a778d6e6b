// File > Print and Printer Setup against a real print server: a private CUPS daemon with PDF
// queues (see scripts/cups-run.sh). The PDF a queue writes is read back with poppler's tools.
#include "image/fileopen.h"
#include "print/printlayout.h"
#include "tests/print/printtestsupport.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using testing::MainWindowHarness;

namespace {

QString run(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool done = process.waitForFinished(60000) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
}

// Records every text panel 1 of the status bar is painted with, in order.
class PanelRecorder final : public QObject {
public:
    explicit PanelRecorder(QLabel *label) : m_label(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint &&
            (texts.isEmpty() || texts.last() != m_label->text()))
            texts.append(m_label->text());
        return false;
    }

private:
    QLabel *m_label;
};

} // namespace

class TstPrintCups final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void noActiveWindowPrintsNothing();
    void noPrinterReportsAfterClearingTheStatus();
    void addDefaultQueue();
    void printsAtTheLayoutRules_data();
    void printsAtTheLayoutRules();
    void printerSetupChoosesTheNextQueue();
    void unavailableQueueIsReported_data();
    void unavailableQueueIsReported();
    void previewAsActiveWindowIsReported();

private:
    QString queue(const QString &letter) const { return QStringLiteral("lumora_") + letter; }
    QString outDir(const QString &letter) const { return m_out + QLatin1Char('/') + letter; }
    void addQueue(const QString &letter);
    QStringList pdfs(const QString &letter) const;
    // Waits for the queue to finish its jobs and returns the newest PDF it wrote.
    QString waitForPdf(const QString &letter, int before);
    bool queueIdle() const;
    QString picture(int width, int height);

    QString m_prefix;
    QString m_out;
    QTemporaryDir m_dir;
};

void TstPrintCups::initTestCase()
{
    // Never print on the machine's own printers: only the private server will do.
    const QString server = qEnvironmentVariable("CUPS_SERVER");
    m_prefix = qEnvironmentVariable("LUMORA_CUPS_PREFIX");
    m_out = qEnvironmentVariable("LUMORA_CUPS_DIR");
    if (!server.startsWith(QStringLiteral("/tmp/lumora-cups.")) || m_prefix.isEmpty())
        QSKIP("run through scripts/cups-run.sh");
    QVERIFY(m_dir.isValid());
    QVERIFY(run(QStringLiteral("lpstat"), {QStringLiteral("-v")})
                .contains(QStringLiteral("No destinations")));
}

QString TstPrintCups::picture(int width, int height)
{
    const QString path = m_dir.filePath(QStringLiteral("p%1x%2.bmp").arg(width).arg(height));
    if (!QFile::exists(path) &&
        !testing::makePlainPicture(path, width, height, QStringLiteral("#c00000")))
        return QString();
    return path;
}

void TstPrintCups::addQueue(const QString &letter)
{
    bool ok = false;
    const QString out =
        run(QStringLiteral("lpadmin"),
            {QStringLiteral("-p"), queue(letter), QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("cups-pdf:/") + m_prefix + letter, QStringLiteral("-P"),
             QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")},
            &ok);
    QVERIFY2(ok, qPrintable(out));
}

QStringList TstPrintCups::pdfs(const QString &letter) const
{
    return QDir(outDir(letter)).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
}

bool TstPrintCups::queueIdle() const
{
    return run(QStringLiteral("lpstat"), {QStringLiteral("-o")}).trimmed().isEmpty();
}

QString TstPrintCups::waitForPdf(const QString &letter, int before)
{
    for (int i = 0; i < 600; ++i) {
        if (pdfs(letter).size() > before && queueIdle())
            return outDir(letter) + QLatin1Char('/') + pdfs(letter).first();
        QTest::qWait(50);
    }
    return QString();
}

void TstPrintCups::noActiveWindowPrintsNothing()
{
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    h.window->StatBar().setText(1, QStringLiteral("kept"));
    h.window->mnufileprint_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(h.window->StatBar().text(1), QStringLiteral("kept"));
}

void TstPrintCups::noPrinterReportsAfterClearingTheStatus()
{
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    image::openPictureWindow(*h.window, picture(48, 48));
    PanelRecorder recorder(h.window->StatBar().label(1));
    QString panelAtMessage = QStringLiteral("unset");
    h.dialogs.onMessage = [&](const testing::ScriptedDialogs::Message &) {
        panelAtMessage = h.window->StatBar().text(1);
    };
    h.window->mnufileprint_Click();
    QCOMPARE(recorder.texts, QStringList({QStringLiteral("Printing..."), QString()}));
    QCOMPARE(panelAtMessage, QString());
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Print Error!"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
}

void TstPrintCups::addDefaultQueue()
{
    addQueue(QStringLiteral("a"));
    bool ok = false;
    run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), queue(QStringLiteral("a"))}, &ok);
    QVERIFY(ok);
}

void TstPrintCups::printsAtTheLayoutRules_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSizeF>("printedTwips");
    // The picture box is the picture and two pixels: 15 twips each.
    QTest::newRow("small: on-screen size") << QSize(198, 98) << QSizeF(3000, 1500);
    QTest::newRow("exactly 9630 x 12960: unstretched") << QSize(640, 862) << QSizeF(9630, 12960);
    QTest::newRow("too wide: stretched") << QSize(641, 98) << QSizeF(9630, 12960);
    QTest::newRow("too high: stretched") << QSize(98, 863) << QSizeF(9630, 12960);
    // Qt writes a PDF's pictures as JPEG, which has at most 65500 pixels a side.
    QTest::newRow("wider than a JPEG: stretched") << QSize(65501, 2) << QSizeF(9630, 12960);
}

// The picture lands at the printable area's corner at W x H, or stretched to 9630 x 12960.
void TstPrintCups::printsAtTheLayoutRules()
{
    QFETCH(QSize, picture);
    QFETCH(QSizeF, printedTwips);
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    image::openPictureWindow(*h.window, this->picture(picture.width(), picture.height()));
    PanelRecorder recorder(h.window->StatBar().label(1));
    const int before = int(pdfs(QStringLiteral("a")).size());
    h.window->mnufileprint_Click();
    QVERIFY2(h.dialogs.messages.isEmpty(), qPrintable(h.dialogs.messages.value(0).text));
    QCOMPARE(recorder.texts, QStringList({QStringLiteral("Printing..."), QString()}));

    const QString pdf = waitForPdf(QStringLiteral("a"), before);
    QVERIFY(!pdf.isEmpty());
    QVERIFY(run(QStringLiteral("pdfinfo"), {pdf})
                .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));

    constexpr int dpi = 288; // 5 twips a pixel
    bool ok = false;
    const QString png = m_dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
         QStringLiteral("-singlefile"), pdf, png},
        &ok);
    QVERIFY(ok);
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    const QRect box = testing::boxOfPixelsOtherThan(page, Qt::white, 12);

    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(queue(QStringLiteral("a")));
    const QPointF origin = printer.pageLayout().paintRect(QPageLayout::Point).topLeft() * dpi / 72;
    const QSizeF size = printedTwips * dpi / 1440;
    const QString where = QStringLiteral("box %1,%2 %3x%4, expected %5,%6 %7x%8")
                              .arg(box.x())
                              .arg(box.y())
                              .arg(box.width())
                              .arg(box.height())
                              .arg(origin.x())
                              .arg(origin.y())
                              .arg(size.width())
                              .arg(size.height());
    QVERIFY2(qAbs(box.x() - origin.x()) <= 1 && qAbs(box.y() - origin.y()) <= 1, qPrintable(where));
    QVERIFY2(qAbs(box.width() - size.width()) <= 1 && qAbs(box.height() - size.height()) <= 1,
             qPrintable(where));
}

void TstPrintCups::printerSetupChoosesTheNextQueue()
{
    addQueue(QStringLiteral("b"));
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    // Printer Setup needs no picture.
    h.dialogs.printerAnswer = [this](QPrinter &printer) {
        printer.setPrinterName(queue(QStringLiteral("b")));
        return true;
    };
    h.window->mnufileselprint_Click();
    QCOMPARE(h.dialogs.printerTitles, QStringList({QStringLiteral("Select Printer")}));
    QCOMPARE(h.dialogs.printerFlags, QList<int>({0x100000}));
    QVERIFY(h.dialogs.messages.isEmpty());

    // A cancelled dialog changes nothing, whatever it did to its printer meanwhile.
    h.dialogs.printerAnswer = [this](QPrinter &printer) {
        printer.setPrinterName(queue(QStringLiteral("a")));
        return false;
    };
    h.window->mnufileselprint_Click();
    QVERIFY(h.dialogs.messages.isEmpty());

    image::openPictureWindow(*h.window, picture(48, 48));
    const int beforeA = int(pdfs(QStringLiteral("a")).size());
    for (int job = 0; job < 2; ++job) {
        const int beforeB = int(pdfs(QStringLiteral("b")).size());
        h.window->mnufileprint_Click();
        QVERIFY(h.dialogs.messages.isEmpty());
        QVERIFY(!waitForPdf(QStringLiteral("b"), beforeB).isEmpty());
    }
    QCOMPARE(int(pdfs(QStringLiteral("a")).size()), beforeA);
}

void TstPrintCups::unavailableQueueIsReported_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("restart");
    QTest::newRow("stopped queue") << "cupsdisable"
                                   << "cupsenable";
    QTest::newRow("queue refusing jobs") << "cupsreject"
                                         << "cupsaccept";
    QTest::newRow("queue deleted after it was chosen") << "lpadmin -x"
                                                       << "";
}

// Each of these ends within seconds with "Print Error!", and nothing waits in a queue.
void TstPrintCups::unavailableQueueIsReported()
{
    QFETCH(QString, stop);
    QFETCH(QString, restart);
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    h.dialogs.printerAnswer = [this](QPrinter &printer) {
        printer.setPrinterName(queue(QStringLiteral("b")));
        return true;
    };
    h.window->mnufileselprint_Click();
    QStringList command = stop.split(QLatin1Char(' '));
    const QString program = command.takeFirst();
    bool ok = false;
    run(program, command << queue(QStringLiteral("b")), &ok);
    QVERIFY(ok);

    image::openPictureWindow(*h.window, picture(48, 48));
    PanelRecorder recorder(h.window->StatBar().label(1));
    h.window->mnufileprint_Click();
    QCOMPARE(recorder.texts, QStringList({QStringLiteral("Printing..."), QString()}));
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Print Error!"));
    QVERIFY(queueIdle());

    if (restart.isEmpty())
        addQueue(QStringLiteral("b"));
    else
        run(restart, {queue(QStringLiteral("b"))}, &ok);
    QVERIFY(ok);
}

// The print preview holds no drawn picture: printing with it active is a failed print, and no
// blank page is sent.
void TstPrintCups::previewAsActiveWindowIsReported()
{
    MainWindowHarness h;
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    image::openPictureWindow(*h.window, picture(48, 48));
    h.window->mnufilepp_Click();
    for (QMdiSubWindow *sub : h.window->mdiArea().subWindowList())
        if (image::asImageWindow(sub->widget()))
            sub->close();
    QVERIFY(h.window->ActiveForm());
    QVERIFY(!image::asImageWindow(h.window->ActiveForm()));
    const int before = int(pdfs(QStringLiteral("a")).size());
    PanelRecorder recorder(h.window->StatBar().label(1));
    h.window->mnufileprint_Click();
    QCOMPARE(recorder.texts, QStringList({QStringLiteral("Printing..."), QString()}));
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Print Error!"));
    QVERIFY(queueIdle());
    QTest::qWait(500);
    QCOMPARE(int(pdfs(QStringLiteral("a")).size()), before);
}

QTEST_MAIN(TstPrintCups)
#include "tst_printcups.moc"
