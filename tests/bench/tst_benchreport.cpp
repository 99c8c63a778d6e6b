#include "bench/benchreport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using lumora::bench::Report;
using lumora::bench::Row;
using lumora::bench::Target;

class TestBenchReport final : public QObject {
    Q_OBJECT
private slots:
    void targets_data();
    void targets();
    void rowsGoToTheSharedFile();
};

void TestBenchReport::targets_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("reference");
    QTest::addColumn<bool>("met");
    QTest::newRow("ratio under") << Target::ratioAtMost(2) << 3.0 << 2.0 << true;
    QTest::newRow("ratio over") << Target::ratioAtMost(2) << 5.0 << 2.0 << false;
    // A reference that failed to run must not read as an easy win.
    QTest::newRow("ratio, no reference") << Target::ratioAtMost(2) << 3.0 << 0.0 << false;
    QTest::newRow("value at the limit") << Target::valueAtMost(120) << 120.0 << 0.0 << true;
    QTest::newRow("value over") << Target::valueAtMost(120) << 120.5 << 0.0 << false;
    QTest::newRow("one frame late") << Target::valueWithin(1000, 17) << 1017.0 << 0.0 << true;
    QTest::newRow("more than a frame late")
        << Target::valueWithin(1000, 17) << 1017.5 << 0.0 << false;
    QTest::newRow("more than a frame early")
        << Target::valueWithin(1000, 17) << 982.0 << 0.0 << false;
    QTest::newRow("no target") << Target::none() << 1e9 << 1.0 << true;
}

void TestBenchReport::targets()
{
    QFETCH(Target, target);
    QFETCH(double, value);
    QFETCH(double, reference);
    QFETCH(bool, met);
    QTemporaryDir dir;
    qputenv("LUMORA_BENCH_ROWS", dir.filePath(QStringLiteral("rows")).toLocal8Bit());
    Report report;
    report.add({QStringLiteral("figure"), value, QStringLiteral("ms"), QStringLiteral("peer"),
                reference, target});
    QCOMPARE(report.finish(), met ? 0 : 2);
}

// run-bench.sh lines up every benchmark's rows in one table: one line per row, seven cells.
void TestBenchReport::rowsGoToTheSharedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows"));
    qputenv("LUMORA_BENCH_ROWS", path.toLocal8Bit());
    Report first;
    first.add({QStringLiteral("Zoom In"), 97.31, QStringLiteral("ms"), QStringLiteral("memcpy"),
               64.8, Target::ratioAtMost(2)});
    QCOMPARE(first.finish(), 0);
    Report second;
    second.add({QStringLiteral("Peak memory"), 220, QStringLiteral("MB"),
                QStringLiteral("decoded size"), 96, Target::ratioAtMost(2.2)});
    second.add({QStringLiteral("Save As"), 70, QStringLiteral("ms"), QString(), 0, Target::none()});
    QCOMPARE(second.finish(), 2);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QByteArray("Zoom In\t97.3 ms\tmemcpy\t64.8 ms\t1.50x\tratio <= 2.00\tpass"));
    QCOMPARE(lines[1].split('\t').value(4), QByteArray("2.29x"));
    QCOMPARE(lines[1].split('\t').value(6), QByteArray("MISS"));
    QCOMPARE(lines[2], QByteArray("Save As\t70.0 ms\t-\t-\t-\t-\t-"));
}

QTEST_MAIN(TestBenchReport)
#include "tst_benchreport.moc"
