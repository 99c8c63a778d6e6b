#include "runtime/errortrap.h"
#include "runtime/formart.h"
#include "runtime/handlerguard.h"
#include "runtime/timer.h"
#include "runtime/twips.h"
#include "tests/support/scripteddialogs.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using namespace lumora::runtime;

class TestUnits final : public QObject {
    Q_OBJECT
private slots:
    void twipsToPixels_data();
    void twipsToPixels();
    void roundingHalvesToEven_data();
    void roundingHalvesToEven();
    void sixteenBitRoundingOverflows();
    void artTwiceAsFineOnlyWhereItHelps_data();
    void artTwiceAsFineOnlyWhereItHelps();
    void timerRefusesNegativeInterval();
    void timerWithZeroIntervalNeverFires();
    void timerFiresWhileEnabled();
    void trapSkipsFailingStepsAndRemembers();
    void guardReportsEscapedErrorAndGoesOn();
};

void TestUnits::twipsToPixels_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("splash client width") << 4575.0 << 305;
    QTest::newRow("splash client height") << 3090.0 << 206;
    QTest::newRow("image window width") << 5505.0 << 367;
    // Lengths between pixels go to the nearest one.
    QTest::newRow("just under half") << 22.0 << 1;
    QTest::newRow("just over half") << 23.0 << 2;
    QTest::newRow("zero") << 0.0 << 0;
}

void TestUnits::twipsToPixels()
{
    QFETCH(double, twips);
    QFETCH(int, pixels);
    const TwipScale scale(15.0);
    QCOMPARE(scale.toPixels(twips), pixels);
    QCOMPARE(TwipScale::fromDpi(96).twipsPerPixel(), 15.0);
    QCOMPARE(TwipScale::fromDpi(120).twipsPerPixel(), 12.0);
}

void TestUnits::roundingHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("2500.4") << 2500.4 << 2500;
    QTest::newRow("negative frame") << -7.5 << -8;
}

void TestUnits::roundingHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(roundHalfEven32(value), rounded);
    QCOMPARE(int(roundHalfEven16(value)), rounded);
}

void TestUnits::sixteenBitRoundingOverflows()
{
    QCOMPARE(int(roundHalfEven16(32767.4)), 32767);
    QCOMPARE(int(roundHalfEven16(-32768.0)), -32768);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, roundHalfEven16(32767.5));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, roundHalfEven16(-32768.6));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, roundHalfEven16(std::nan("")));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, roundHalfEven32(1e12));
}

void TestUnits::timerRefusesNegativeInterval()
{
    Timer timer;
    timer.setInterval(50);
    try {
        timer.setInterval(-1);
        QFAIL("a negative interval was accepted");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), errors::InvalidPropertyValue);
    }
    QCOMPARE(timer.Interval(), 50); // the refused value leaves the old one
}

void TestUnits::timerWithZeroIntervalNeverFires()
{
    Timer timer;
    QSignalSpy fired(&timer, &Timer::fired);
    timer.setEnabled(true);
    timer.setInterval(0);
    QVERIFY(!fired.wait(150));
}

void TestUnits::timerFiresWhileEnabled()
{
    Timer timer;
    QSignalSpy fired(&timer, &Timer::fired);
    timer.setInterval(10);
    QVERIFY(fired.wait(1000));
    timer.setEnabled(false);
    fired.clear();
    QVERIFY(!fired.wait(100));
}

void TestUnits::trapSkipsFailingStepsAndRemembers()
{
    ErrorTrap trap;
    QStringList ran;
    trap.run([&] { ran << "first"; });
    QVERIFY(!trap.failed());
    trap.run([&] {
        throw RuntimeError(errors::FileNotFound, "File not found");
        ran << "never";
    });
    trap.run([&] { ran << "after"; });
    trap.run([&] { throw RuntimeError(errors::Overflow, "Overflow"); });
    QCOMPARE(ran, QStringList({"first", "after"}));
    QVERIFY(trap.failed());
    QCOMPARE(trap.firstError()->number(), errors::FileNotFound);
    QCOMPARE(trap.value([]() -> int { throw RuntimeError(5, "x"); }, 42), 42);
}

void TestUnits::guardReportsEscapedErrorAndGoesOn()
{
    lumora::testing::ScriptedDialogs dialogs;
    bool after = false;
    guard(dialogs, [] { throw RuntimeError(errors::FileNotFound, "File not found"); });
    guard(dialogs, [&] { after = true; });
    QVERIFY(after);
    QCOMPARE(dialogs.messages.size(), 1);
    QVERIFY(dialogs.messages[0].text.contains("File not found"));
    QCOMPARE(dialogs.messages[0].style, int(vbCritical));
    QCOMPARE(dialogs.messages[0].title, QString("Lumora"));
}

void TestUnits::artTwiceAsFineOnlyWhereItHelps_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("screenRatio");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<double>("artRatio");
    QTest::newRow("unscaled") << "icon.png" << 1.0 << "icon.png" << 1.0;
    QTest::newRow("scaled by 2") << "icon.png" << 2.0 << "icon@2x.png" << 2.0;
    QTest::newRow("scaled by 1.5") << "icon.png" << 1.5 << "icon@2x.png" << 2.0;
    QTest::newRow("no fine drawing") << "plain.png" << 2.0 << "plain.png" << 1.0;
}

void TestUnits::artTwiceAsFineOnlyWhereItHelps()
{
    QFETCH(QString, name);
    QFETCH(double, screenRatio);
    QFETCH(QString, chosen);
    QFETCH(double, artRatio);
    QTemporaryDir dir;
    for (const char *file : {"icon.png", "icon@2x.png", "plain.png"})
        QVERIFY(QFile(dir.filePath(QString::fromLatin1(file))).open(QIODevice::WriteOnly));
    const ArtFile art = artFile(dir.filePath(name), screenRatio);
    QCOMPARE(art.path, dir.filePath(chosen));
    QCOMPARE(art.pixelRatio, artRatio);
}

QTEST_MAIN(TestUnits)
#include "tst_units.moc"
