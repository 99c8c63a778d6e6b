// The memory budget that pictures, drawings and the show's read-ahead share: the budget
// itself, the readers and picture boxes that ask it first, its size from the machine, and the
// main window's commands when it runs out.
#include "base/runtimeerror.h"
#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "picture/imagememory.h"
#include "picture/loadpicture.h"
#include "picture/machinememory.h"
#include "picture/memorybudget.h"
#include "print/previewwindow.h"
#include "runtime/picturebox.h"
#include "show/showplayer.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <vector>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::runtime;
using image::ImageWindow;
using testing::MainWindowHarness;
using Reservation = MemoryBudget::Reservation;

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr qint64 kPictureBytes = qint64(kWidth) * kHeight * 4;
constexpr qint64 kDrawingBytes = qint64(kWidth + 2) * (kHeight + 2) * 4;
// An open window keeps the picture as loaded and the drawing of it.
constexpr qint64 kWindowBytes = kPictureBytes + kDrawingBytes;
constexpr QRgb kLightGrey = 0xFFE0E0E0;

MemoryBudget &budget()
{
    return MemoryBudget::process();
}

// What the box shows on the screen, read without asking the budget for a copy.
QImage shown(const PictureBox &box)
{
    return const_cast<PictureBox &>(box).grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool allOneColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return !image.isNull();
}

ImageWindow *activeImageWindow(MainWindowHarness &h)
{
    QMdiSubWindow *active = h.window->mdiArea().activeSubWindow();
    return active ? image::asImageWindow(active->widget()) : nullptr;
}

print::PreviewWindow *previewOf(MainWindowHarness &h)
{
    for (QMdiSubWindow *sub : h.window->mdiArea().subWindowList())
        if (auto *form = qobject_cast<print::PreviewWindow *>(sub->widget()))
            if (!form->unloaded())
                return form;
    return nullptr;
}

} // namespace

class TestMemoryBudget final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void reservationsAddUpAndGoBack();
    void refusesPastTheTotal();
    void smallerTotalRefusesUntilGivenBack();
    void racingThreadsNeverPassTheTotal();
    void imageCopiesShareOneReservation_data();
    void imageCopiesShareOneReservation();
    void refusedPictureFailsBeforeAllocating_data();
    void refusedPictureFailsBeforeAllocating();
    void refusedDrawingFailsThePaint();
    void cgroupLimitsAlongThePath_data();
    void cgroupLimitsAlongThePath();
    void budgetFromMachineAndOverride_data();
    void budgetFromMachineAndOverride();
    void machineMeasureIsSane();
    void openingUntilTheBudgetIsReached();
    void zoomPastTheBudget();
    void previewSheetBelongsToTheBudget();
    void showStepsWithoutRoomToReadAhead_data();
    void showStepsWithoutRoomToReadAhead();

private:
    MainWindowHarness &mainWindow();
    ImageWindow *fileOpen(MainWindowHarness &h, const QString &path);
    void checkIntact(ImageWindow *window, const QString &path) const;

    QTemporaryDir m_dir;
    QStringList m_pictures;
    QImage m_reference;
    std::unique_ptr<MainWindowHarness> m_harness;
    qint64 m_machineTotal = 0;
    qint64 m_base = 0;
};

void TestMemoryBudget::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < 6; ++i) {
        const QString path = m_dir.filePath(QStringLiteral("noise%1.bmp").arg(i));
        QVERIFY(testing::makeNoisePicture(path, kWidth, kHeight));
        m_pictures << path;
    }
    m_reference = testing::decodeWithImageMagick(m_pictures[0]);
    QCOMPARE(m_reference.size(), QSize(kWidth, kHeight));
    m_machineTotal = budget().totalBytes();
}

void TestMemoryBudget::cleanup()
{
    if (m_harness) {
        if (show::ShowPlayer *player = m_harness->window->showCommands().player())
            player->Unload();
    }
    m_harness.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    budget().setTotalBytes(m_machineTotal);
}

// A main window for this test, and what the budget holds once it stands.
MainWindowHarness &TestMemoryBudget::mainWindow()
{
    m_harness = std::make_unique<MainWindowHarness>();
    m_base = budget().usedBytes();
    return *m_harness;
}

void TestMemoryBudget::reservationsAddUpAndGoBack()
{
    MemoryBudget budget(1000);
    {
        Reservation a = budget.reserve(300);
        Reservation b = budget.reserve(200);
        QCOMPARE(budget.usedBytes(), 500);
        // Moving hands the bytes over without counting them twice or giving them back.
        Reservation c = std::move(a);
        QVERIFY(!a.isGranted());
        QCOMPARE(c.bytes(), 300);
        QCOMPARE(budget.usedBytes(), 500);
        // Assigning over a reservation gives its own bytes back first.
        b = std::move(c);
        QCOMPARE(budget.usedBytes(), 300);
        b.release();
        b.release();
        QCOMPARE(budget.usedBytes(), 0);
        Reservation d = budget.reserve(0);
        QVERIFY(d.isGranted());
        Reservation e = budget.reserve(700);
    }
    QCOMPARE(budget.usedBytes(), 0);
}

void TestMemoryBudget::refusesPastTheTotal()
{
    MemoryBudget budget(1000);
    Reservation most = budget.reserve(999);
    QVERIFY(!budget.tryReserve(2).isGranted());
    QVERIFY(!budget.tryReserve(-1).isGranted());
    QVERIFY(!budget.tryReserve(std::numeric_limits<qint64>::max()).isGranted());
    try {
        budget.reserve(2);
        QFAIL("a refused reservation must throw");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), errors::OutOfMemory);
    }
    QCOMPARE(budget.usedBytes(), 999); // refusals take nothing
    Reservation last = budget.reserve(1);
    QCOMPARE(budget.usedBytes(), 1000);
}

void TestMemoryBudget::smallerTotalRefusesUntilGivenBack()
{
    MemoryBudget budget(1000);
    Reservation held = budget.reserve(800);
    budget.setTotalBytes(500);
    QVERIFY(!budget.tryReserve(1).isGranted());
    held.release();
    QVERIFY(budget.tryReserve(500).isGranted());
}

// The show reads ahead on a worker thread while the user-interface thread opens and paints:
// however requests interleave, what is granted never passes the total and all of it comes back.
void TestMemoryBudget::racingThreadsNeverPassTheTotal()
{
    MemoryBudget budget(3000);
    std::atomic<qint64> worst{0};
    std::atomic<int> refused{0};
    const auto hammer = [&](int seed) {
        std::vector<Reservation> held;
        for (int i = 0; i < 20'000; ++i) {
            Reservation r = budget.tryReserve(1 + (i * 7 + seed) % 900);
            if (!r.isGranted())
                ++refused;
            held.push_back(std::move(r));
            qint64 seen = budget.usedBytes();
            qint64 before = worst.load();
            while (seen > before && !worst.compare_exchange_weak(before, seen)) {
            }
            if (held.size() > 5)
                held.erase(held.begin());
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(hammer, t * 131);
    for (std::thread &thread : threads)
        thread.join();
    QVERIFY(worst.load() <= 3000);
    QVERIFY(refused.load() > 0); // six reservations of up to 900 bytes each do not always fit
    QCOMPARE(budget.usedBytes(), 0);
}

void TestMemoryBudget::imageCopiesShareOneReservation_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("heap block") << QSize(100, 80);
    QTest::newRow("mapped pages") << QSize(2000, 1500);
}

// A picture's pixels are counted once however many boxes and copies hold them, and go back
// with the last copy.
void TestMemoryBudget::imageCopiesShareOneReservation()
{
    QFETCH(QSize, size);
    const qint64 before = budget().usedBytes();
    const qint64 bytes = imageBytes(size, QImage::Format_RGB32);
    QCOMPARE(bytes, qint64(size.width()) * size.height() * 4);
    qint64 held = 0;
    {
        QImage image = allocateZeroedImage(size, QImage::Format_RGB32);
        QCOMPARE(budget().usedBytes() - before, bytes);
        const auto *lastRow =
            reinterpret_cast<const quint32 *>(image.constScanLine(size.height() - 1));
        QCOMPARE(lastRow[size.width() - 1], 0u);
        image.fill(Qt::white); // every page resident
        held = testing::residentBytes();
        const Picture picture(image);
        const Picture copy = picture;
        QImage alsoShared = image;
        image = QImage();
        QCOMPARE(budget().usedBytes() - before, bytes);
    }
    QCOMPARE(budget().usedBytes(), before);
    // Mapped pages go back to the kernel too, though not necessarily on this thread.
    if (QByteArray(QTest::currentDataTag()) == "mapped pages")
        QTRY_VERIFY(testing::residentBytes() < held - bytes * 3 / 4);
}

void TestMemoryBudget::refusedPictureFailsBeforeAllocating_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("baseline JPEG") << "photo.jpg";
    QTest::newRow("progressive JPEG") << "progressive.jpg";
    QTest::newRow("GIF") << "photo.gif";
    QTest::newRow("BMP") << "photo.bmp";
    QTest::newRow("RLE BMP") << "rle.bmp";
    QTest::newRow("WMF with a bitmap") << "wmf";
}

// Each reader asks for its pixels before it allocates them: with no room the picture fails
// with Out of memory, nothing stays taken, and with room it loads and holds its own size.
void TestMemoryBudget::refusedPictureFailsBeforeAllocating()
{
    QFETCH(QString, file);
    QString path = m_dir.filePath(file);
    if (file == QLatin1String("wmf")) {
        path = lumora::testing::testData(QStringLiteral("wmf/libreoffice/image.wmf"));
    } else if (!QFile::exists(path)) {
        QStringList options;
        if (file.startsWith(QLatin1String("progressive")))
            options << QStringLiteral("-interlace") << QStringLiteral("JPEG");
        const bool rle = file.startsWith(QLatin1String("rle"));
        if (rle)
            options << QStringLiteral("-colors") << QStringLiteral("16")
                    << QStringLiteral("-compress") << QStringLiteral("RLE");
        QVERIFY(testing::makePicture(rle ? QStringLiteral("BMP3:") + path : path, 300, 200,
                                     QStringLiteral("plasma:red-blue"), options));
    }
    const qint64 before = budget().usedBytes();
    budget().setTotalBytes(before + 1000);
    try {
        LoadPicture(path);
        QFAIL("the budget should have refused the picture");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), errors::OutOfMemory);
    }
    QCOMPARE(budget().usedBytes(), before);
    budget().setTotalBytes(m_machineTotal);
    const Picture picture = LoadPicture(path);
    const qint64 held = budget().usedBytes() - before;
    if (picture.isVector())
        QVERIFY(held > 0);
    else
        QCOMPARE(held, imageBytes(picture.raster().size(), picture.raster().format()));
}

// A drawing the budget cannot hold fails the paint like one past the box's own limit, and the
// box keeps no half-made drawing.
void TestMemoryBudget::refusedDrawingFailsThePaint()
{
    const Picture picture(allocateZeroedImage(QSize(50, 40), QImage::Format_RGB32));
    PictureBox box;
    box.resize(400, 300);
    const qint64 before = budget().usedBytes();
    budget().setTotalBytes(before + 400 * 300 * 4 - 1);
    try {
        box.PaintPicture(picture, 0, 0, 400 * 15, 300 * 15);
        QFAIL("the drawing should have been refused");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), errors::OutOfMemory);
    }
    QCOMPARE(budget().usedBytes(), before);
    QVERIFY(box.Image().isNull()); // not even a copy to hand out
    budget().setTotalBytes(m_machineTotal);
    box.PaintPicture(picture, 0, 0, 400 * 15, 300 * 15);
    QCOMPARE(budget().usedBytes() - before, 400 * 300 * 4);
    box.Cls();
    QCOMPARE(budget().usedBytes(), before);
}

void TestMemoryBudget::cgroupLimitsAlongThePath_data()
{
    QTest::addColumn<QByteArray>("procSelfCgroup");
    QTest::addColumn<QStringList>("files"); // "relative path=contents"
    QTest::addColumn<qint64>("room");
    const QByteArray unified = "0::/user.slice/app.scope\n";
    QTest::newRow("no limit anywhere")
        << unified << QStringList{"user.slice/app.scope/memory.max=max"} << kNoMemoryLimit;
    QTest::newRow("own limit less own use")
        << unified
        << QStringList{"user.slice/app.scope/memory.max=1073741824",
                       "user.slice/app.scope/memory.current=73741824"}
        << qint64(1000000000);
    // A parent's limit binds as much as the group's own: the tightest room wins.
    QTest::newRow("parent is tighter")
        << unified
        << QStringList{"user.slice/app.scope/memory.max=4000000000",
                       "user.slice/app.scope/memory.current=100",
                       "user.slice/memory.max=2000000000", "user.slice/memory.current=1500000000"}
        << qint64(500000000);
    QTest::newRow("a container's own root")
        << QByteArray("0::/\n") << QStringList{"memory.max=300000000", "memory.current=0"}
        << qint64(300000000);
    QTest::newRow("full group leaves no room")
        << unified
        << QStringList{"user.slice/app.scope/memory.max=1000",
                       "user.slice/app.scope/memory.current=5000"}
        << qint64(0);
    QTest::newRow("older memory controller")
        << QByteArray("4:memory:/jobs/42\n1:cpu,cpuacct:/jobs/42\n0::/\n")
        << QStringList{"memory/jobs/42/memory.limit_in_bytes=536870912",
                       "memory/jobs/42/memory.usage_in_bytes=36870912",
                       "memory/memory.limit_in_bytes=9223372036854771712"}
        << qint64(500000000);
    QTest::newRow("nothing readable")
        << QByteArray("garbage\n\n") << QStringList{} << kNoMemoryLimit;
}

void TestMemoryBudget::cgroupLimitsAlongThePath()
{
    QFETCH(QByteArray, procSelfCgroup);
    QFETCH(QStringList, files);
    QFETCH(qint64, room);
    QTemporaryDir root;
    for (const QString &file : files) {
        const qsizetype eq = file.indexOf(QLatin1Char('='));
        QVERIFY(writeFile(root.filePath(file.left(eq)), file.mid(eq + 1).toUtf8() + '\n'));
    }
    QCOMPARE(cgroupRoomBytes(procSelfCgroup, root.path()), room);
}

void TestMemoryBudget::budgetFromMachineAndOverride_data()
{
    QTest::addColumn<qint64>("physical");
    QTest::addColumn<qint64>("cgroup");
    QTest::addColumn<qint64>("addressSpace");
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<qint64>("budget");
    const qint64 none = kNoMemoryLimit;
    QTest::newRow("half the memory") << 8192 * kMiB << none << none << QByteArray() << 4096 * kMiB;
    QTest::newRow("half the cgroup room")
        << 8192 * kMiB << 1024 * kMiB << none << QByteArray() << 512 * kMiB;
    QTest::newRow("half the address space left")
        << 8192 * kMiB << none << 600 * kMiB << QByteArray() << 300 * kMiB;
    QTest::newRow("override below the room")
        << 8192 * kMiB << none << none << QByteArray("64") << 64 * kMiB;
    // Asking for more than the machine leaves gets the room, never the kernel's killer.
    QTest::newRow("override above the room")
        << 8192 * kMiB << 1024 * kMiB << none << QByteArray("5000") << 1024 * kMiB;
    QTest::newRow("override not a number")
        << 8192 * kMiB << none << none << QByteArray("lots") << 4096 * kMiB;
    QTest::newRow("override zero") << 8192 * kMiB << none << none << QByteArray("0") << 4096 * kMiB;
    QTest::newRow("override negative")
        << 8192 * kMiB << none << none << QByteArray("-5") << 4096 * kMiB;
}

void TestMemoryBudget::budgetFromMachineAndOverride()
{
    QFETCH(qint64, physical);
    QFETCH(qint64, cgroup);
    QFETCH(qint64, addressSpace);
    QFETCH(QByteArray, override);
    QFETCH(qint64, budget);
    MachineMemory machine;
    machine.physical = physical;
    machine.cgroupRoom = cgroup;
    machine.addressSpaceRoom = addressSpace;
    QCOMPARE(chooseBudgetBytes(machine, override), budget);
}

// This machine, read for real: a physical size, and room under limits no larger than it.
void TestMemoryBudget::machineMeasureIsSane()
{
    const MachineMemory machine = measureMachineMemory();
    QVERIFY(machine.physical > 64 * kMiB && machine.physical < kNoMemoryLimit);
    QVERIFY(machine.smallest() <= machine.physical);
    QVERIFY(machine.smallest() > 0);
}

ImageWindow *TestMemoryBudget::fileOpen(MainWindowHarness &h, const QString &path)
{
    h.dialogs.fileAnswers.enqueue(path);
    h.window->mnufileopen_Click();
    return activeImageWindow(h);
}

// The picture at the box's top left corner and the two-pixel grey strip that File Open leaves.
void TestMemoryBudget::checkIntact(ImageWindow *window, const QString &path) const
{
    QVERIFY(window);
    QCOMPARE(window->Caption(), path);
    const QImage drawn = shown(window->picdibujo());
    QCOMPARE(drawn.size(), QSize(kWidth + 2, kHeight + 2));
    QCOMPARE(drawn.copy(0, 0, kWidth, kHeight), m_reference);
    QVERIFY(allOneColour(drawn.copy(kWidth, 0, 2, kHeight + 2), kLightGrey));
}

// Windows open until the budget is reached; past it a window still opens, titled with its
// path, as for any picture that cannot be read, and nothing is reported. The windows already
// open keep their pictures, and closing one makes room for the next.
void TestMemoryBudget::openingUntilTheBudgetIsReached()
{
    MainWindowHarness &h = mainWindow();
    // Three whole windows, then room for one more picture but not for its drawing.
    budget().setTotalBytes(m_base + 3 * kWindowBytes + kPictureBytes + 100);
    QList<QPointer<ImageWindow>> windows;
    for (int i = 0; i < 5; ++i)
        windows << fileOpen(h, m_pictures[i]);
    for (int i = 0; i < 3; ++i)
        checkIntact(windows[i], m_pictures[i]);

    // The fourth picture loaded, but its paint was refused: a grey box of the picture's size.
    QVERIFY(!windows[3]->pictrans().picture().isNull());
    QVERIFY(allOneColour(shown(windows[3]->picdibujo()), kLightGrey));
    QCOMPARE(windows[3]->picdibujo().innerPixels(), QSize(kWidth + 2, kHeight + 2));

    // The fifth picture was refused: the empty window of a picture that cannot be read.
    QCOMPARE(windows[4]->Caption(), m_pictures[4]);
    QVERIFY(windows[4]->pictrans().picture().isNull());
    QCOMPARE(windows[4]->picdibujo().innerPixels(), QSize(1695 / 15, 1455 / 15));
    QVERIFY(allOneColour(shown(windows[4]->picdibujo()), kLightGrey));
    QCOMPARE(h.window->StatBar().text(2), m_pictures[4]);
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(budget().usedBytes() <= budget().totalBytes());

    windows[1]->frame().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!windows[1]);
    checkIntact(fileOpen(h, m_pictures[5]), m_pictures[5]);
    checkIntact(windows[0], m_pictures[0]);
    checkIntact(windows[2], m_pictures[2]);
    QVERIFY(h.dialogs.messages.isEmpty());
}

// A zoom whose drawing the budget cannot hold is the zoom the display cannot paint.
void TestMemoryBudget::zoomPastTheBudget()
{
    MainWindowHarness &h = mainWindow();
    ImageWindow *window = fileOpen(h, m_pictures[0]);
    checkIntact(window, m_pictures[0]);
    const QSize frameBefore = window->frame().size();
    const qint64 doubled = qint64(2 * (kWidth + 2)) * (2 * (kHeight + 2)) * 4;
    // The old drawing goes before the new one is made, so only the picture stays beside it.
    budget().setTotalBytes(m_base + kPictureBytes + doubled - 1);
    h.window->mnueditzoomin_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No more zoom available"));
    QCOMPARE(h.dialogs.messages[0].style, 48);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(window->frame().size(), frameBefore);
    QCOMPARE(window->picdibujo().innerPixels(), QSize(2 * (kWidth + 2), 2 * (kHeight + 2)));
    QCOMPARE(budget().usedBytes(), m_base + kPictureBytes);

    // One byte more and the same zoom paints, from the picture as loaded.
    budget().setTotalBytes(m_base + kPictureBytes + doubled);
    h.window->mnueditzoomout_Click();
    h.window->mnueditzoomin_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(testing::isCrispEnlargement(m_reference, shown(window->picdibujo())));
}

// The print preview's sheet is a drawing like any other: refused, it is reported, and the
// preview's own zoom says it cannot go further.
void TestMemoryBudget::previewSheetBelongsToTheBudget()
{
    MainWindowHarness &h = mainWindow();
    fileOpen(h, m_pictures[0]);
    budget().setTotalBytes(budget().usedBytes() + 1000);
    h.window->menuItem(QStringLiteral("mnufilepp"))->trigger();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(h.dialogs.messages[0].text.contains(QStringLiteral("Out of memory")));
    print::PreviewWindow *form = previewOf(h);
    QVERIFY(form);

    budget().setTotalBytes(m_machineTotal);
    h.window->menuItem(QStringLiteral("mnufilepp"))->trigger();
    QCOMPARE(h.dialogs.messages.size(), 1);
    budget().setTotalBytes(budget().usedBytes() + 1000);
    form->cmdzoom_Click();
    QCOMPARE(h.dialogs.messages.size(), 2);
    QCOMPARE(h.dialogs.messages[1].text, QStringLiteral("No se puede aumentar más!"));
}

void TestMemoryBudget::showStepsWithoutRoomToReadAhead_data()
{
    QTest::addColumn<bool>("timed");
    QTest::newRow("manual") << false;
    QTest::newRow("timed") << true;
}

// With room for one picture and a half, the next picture cannot be read ahead while one is on
// the screen; each step still shows its picture, read when it is needed.
void TestMemoryBudget::showStepsWithoutRoomToReadAhead()
{
    QFETCH(bool, timed);
    MainWindowHarness &h = mainWindow();
    budget().setTotalBytes(m_base + kPictureBytes * 3 / 2);
    show::ShowSettings settings;
    settings.ShowFiles = {m_pictures[0], m_pictures[1], m_pictures[2]};
    settings.ShowAuto = timed ? 1 : 0;
    settings.ShowInterval = 50;
    settings.ShowLoop = 1;
    show::ShowPlayer *player = testing::startShow(*h.window, settings);
    QVERIFY(player->picshow().isVisible());
    QCOMPARE(player->readAhead().pendingPath(), m_pictures[1]);
    if (!timed) {
        // The read ahead ends refused: only the picture on the screen is held.
        QTRY_VERIFY(player->readAhead().isReady());
        QCOMPARE(budget().usedBytes(), m_base + kPictureBytes);
    }
    // A timed show loops back to the first picture; a manual one would end there.
    const QList<int> steps = timed ? QList<int>{1, 2, 0} : QList<int>{1, 2};
    for (int i : steps) {
        if (!timed)
            player->Form_KeyDown(34); // Page Down
        QTRY_COMPARE(player->lblfile().text(), m_pictures[i]);
        QTRY_VERIFY(player->picshow().isVisible());
        QCOMPARE(player->picshow().picture().raster().size(), QSize(kWidth, kHeight));
    }
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(budget().usedBytes() <= budget().totalBytes());

    // Esc: the player lets go of its picture, so the one it opens fits.
    const QString onScreen = player->lblfile().text();
    player->Form_KeyPress(27);
    ImageWindow *window = activeImageWindow(h);
    QVERIFY(window);
    QCOMPARE(window->Caption(), onScreen);
    QVERIFY(!window->pictrans().picture().isNull());
}

QTEST_MAIN(TestMemoryBudget)
#include "tst_memorybudget.moc"
