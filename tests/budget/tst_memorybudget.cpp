#include "base/runtimeerror.h"
#include "picture/imagememory.h"
#include "picture/loadpicture.h"
#include "picture/machinememory.h"
#include "picture/memorybudget.h"
#include "runtime/picturebox.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <vector>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::runtime;
using Reservation = MemoryBudget::Reservation;

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

bool convert(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("convert"), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Sets the process budget for one test and puts the old total back afterwards.
class ProcessBudget final {
public:
    explicit ProcessBudget(qint64 total) : m_old(MemoryBudget::process().totalBytes())
    {
        MemoryBudget::process().setTotalBytes(total);
    }
    ~ProcessBudget() { MemoryBudget::process().setTotalBytes(m_old); }
    ProcessBudget(const ProcessBudget &) = delete;
    ProcessBudget &operator=(const ProcessBudget &) = delete;

private:
    qint64 m_old;
};

} // namespace

class TestMemoryBudget final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
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

private:
    QTemporaryDir m_dir;
};

void TestMemoryBudget::initTestCase()
{
    QVERIFY(m_dir.isValid());
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
    MemoryBudget &budget = MemoryBudget::process();
    const qint64 before = budget.usedBytes();
    const qint64 bytes = imageBytes(size, QImage::Format_RGB32);
    QCOMPARE(bytes, qint64(size.width()) * size.height() * 4);
    {
        QImage image = allocateZeroedImage(size, QImage::Format_RGB32);
        QCOMPARE(budget.usedBytes() - before, bytes);
        const auto *lastRow =
            reinterpret_cast<const quint32 *>(image.constScanLine(size.height() - 1));
        QCOMPARE(lastRow[size.width() - 1], 0u);
        const Picture picture(image);
        const Picture copy = picture;
        QImage alsoShared = image;
        image = QImage();
        QCOMPARE(budget.usedBytes() - before, bytes);
    }
    QCOMPARE(budget.usedBytes(), before);
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
        QStringList arguments{QStringLiteral("-size"), QStringLiteral("300x200"),
                              QStringLiteral("plasma:red-blue")};
        if (file.startsWith(QLatin1String("progressive")))
            arguments << QStringLiteral("-interlace") << QStringLiteral("JPEG");
        if (file.startsWith(QLatin1String("rle")))
            arguments << QStringLiteral("-colors") << QStringLiteral("16")
                      << QStringLiteral("-compress") << QStringLiteral("RLE")
                      << QStringLiteral("BMP3:") + path;
        else
            arguments << path;
        QVERIFY(convert(arguments));
    }
    MemoryBudget &budget = MemoryBudget::process();
    const qint64 before = budget.usedBytes();
    {
        ProcessBudget tight(before + 1000);
        try {
            LoadPicture(path);
            QFAIL("the budget should have refused the picture");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), errors::OutOfMemory);
        }
        QCOMPARE(budget.usedBytes(), before);
    }
    const Picture picture = LoadPicture(path);
    const qint64 held = budget.usedBytes() - before;
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
    const qint64 before = MemoryBudget::process().usedBytes();
    {
        ProcessBudget tight(before + 400 * 300 * 4 - 1);
        try {
            box.PaintPicture(picture, 0, 0, 400 * 15, 300 * 15);
            QFAIL("the drawing should have been refused");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), errors::OutOfMemory);
        }
        QCOMPARE(MemoryBudget::process().usedBytes(), before);
        QVERIFY(box.Image().isNull()); // not even a copy to hand out
    }
    box.PaintPicture(picture, 0, 0, 400 * 15, 300 * 15);
    QCOMPARE(MemoryBudget::process().usedBytes() - before, 400 * 300 * 4);
    box.Cls();
    QCOMPARE(MemoryBudget::process().usedBytes(), before);
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

QTEST_MAIN(TestMemoryBudget)
#include "tst_memorybudget.moc"
