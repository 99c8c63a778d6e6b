#include "app/splash.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>

using lumora::app::Splash;

class TestSplash final : public QObject {
    Q_OBJECT
private slots:
    void workWhileShownRunsOnceAfterTheFirstPaint();
    void theSecondCountsFromTheShowAndEndsTheSplash();
};

// The main window is built in this slot: it must not hold up the splash's first paint, and
// must not be built twice when the splash is painted again.
void TestSplash::workWhileShownRunsOnceAfterTheFirstPaint()
{
    auto *splash = new Splash([] {});
    int runs = 0;
    splash->whenOnScreen([&] { ++runs; });
    QTest::qWait(50);
    QCOMPARE(runs, 0); // nothing before the splash is shown
    splash->show();
    QTRY_COMPARE(runs, 1);
    splash->repaint();
    QTest::qWait(50);
    QCOMPARE(runs, 1);
    delete splash;
}

// Time spent between building the splash and showing it must not shorten the second the
// user sees it; after that second the main window's work runs once and the splash is gone.
void TestSplash::theSecondCountsFromTheShowAndEndsTheSplash()
{
    QElapsedTimer sinceShow;
    QList<qint64> firedAt;
    QPointer<Splash> splash = new Splash([&] { firedAt << sinceShow.elapsed(); });
    QTest::qWait(400);
    sinceShow.start();
    splash->show();
    QTRY_COMPARE_WITH_TIMEOUT(firedAt.size(), 1, 5000);
    QVERIFY2(firedAt[0] >= 990, qPrintable(QString::number(firedAt[0])));
    QTRY_VERIFY(splash.isNull());
    QTest::qWait(1100);
    QCOMPARE(firedAt.size(), 1);
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
