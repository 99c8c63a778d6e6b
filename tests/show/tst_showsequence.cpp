#include "show/showsequence.h"

#include <QtTest>

using lumora::show::ShowSequence;
using lumora::show::ShowSettings;
using Trigger = ShowSequence::Trigger;
using Action = ShowSequence::Action;

namespace {

ShowSettings settingsFor(int pictures, bool automatic, bool loop)
{
    ShowSettings settings;
    for (int i = 0; i < pictures; ++i)
        settings.ShowFiles << QStringLiteral("/p%1.jpg").arg(i);
    settings.ShowAuto = automatic ? 1 : 0;
    settings.ShowLoop = loop ? 1 : 0;
    return settings;
}

// Plays `events` (m: click or Page Down, u: Page Up, t: the timer) and writes what each one
// asks of the player: "-" nothing, "P<i>" show entry i, "E<i>" end the show at entry i.
QString play(ShowSequence &sequence, const QString &events)
{
    QStringList said;
    for (const QChar event : events) {
        if (event == QLatin1Char('u'))
            sequence.pageUp();
        const ShowSequence::Step step =
            sequence.step(event == QLatin1Char('t') ? Trigger::Timer : Trigger::Manual);
        if (step.action == Action::Nothing)
            said << QStringLiteral("-");
        else
            said << QChar(step.action == Action::Present ? u'P' : u'E') +
                        QString::number(step.index);
    }
    return said.join(u' ');
}

} // namespace

class TestShowSequence final : public QObject {
    Q_OBJECT
private slots:
    void stepsLoopsAndEnds_data();
    void stepsLoopsAndEnds();
    void fullListEndsWithoutOverflow();
};

void TestShowSequence::stepsLoopsAndEnds_data()
{
    QTest::addColumn<int>("pictures");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("escAt");    // the entry Esc opens afterwards
    QTest::addColumn<int>("upcoming"); // the entry worth reading ahead, -1 for none

    QTest::newRow("one picture, manual") << 1 << false << false << "m"
                                         << "E0" << 1 << -1;
    QTest::newRow("manual through the list") << 3 << false << false << "mm"
                                             << "P1 P2" << 2 << -1;
    QTest::newRow("manual never loops") << 2 << false << true << "mm"
                                        << "P1 E1" << 2 << -1;
    QTest::newRow("manual Page Up goes one back") << 3 << false << false << "mmu"
                                                  << "P1 P2 P1" << 1 << 2;
    QTest::newRow("Page Up on the first picture shows it again") << 3 << false << false << "uum"
                                                                 << "P0 P0 P1" << 1 << 2;
    QTest::newRow("timed, no loop") << 2 << true << false << "tt"
                                    << "P1 E1" << 2 << -1;
    QTest::newRow("timed loop") << 2 << true << true << "ttt"
                                << "P1 P0 P1" << 1 << 0;
    QTest::newRow("one picture, timed loop") << 1 << true << true << "tt"
                                             << "P0 P0" << 0 << 0;
    QTest::newRow("clicks do nothing in a timed show") << 3 << true << false << "mtm"
                                                       << "- P1 -" << 1 << 2;
    // Page Up only moves back; the next timer event shows the picture before the one shown,
    // and Esc right after it opens the entry two places back.
    QTest::newRow("timed Page Up") << 3 << true << false << "ttu"
                                   << "P1 P2 -" << 0 << 1;
    QTest::newRow("timed Page Up, then the timer") << 3 << true << false << "ttut"
                                                   << "P1 P2 - P1" << 1 << 2;
    QTest::newRow("timed Page Up stops ahead of the first") << 3 << true << false << "uuut"
                                                            << "- - - P0" << 0 << 1;
}

void TestShowSequence::stepsLoopsAndEnds()
{
    QFETCH(int, pictures);
    QFETCH(bool, automatic);
    QFETCH(bool, loop);
    QFETCH(QString, events);
    const ShowSettings settings = settingsFor(pictures, automatic, loop);
    ShowSequence sequence(settings);
    sequence.rewind();
    QTEST(play(sequence, events), "said");
    QTEST(int(sequence.index()), "escAt");
    QTEST(sequence.upcoming(), "upcoming");
}

// The longest show steps past its last picture without leaving the 16-bit position.
void TestShowSequence::fullListEndsWithoutOverflow()
{
    const ShowSettings settings = settingsFor(lumora::show::kMaxShowFiles, false, false);
    ShowSequence sequence(settings);
    for (int i = 1; i < lumora::show::kMaxShowFiles; ++i)
        QCOMPARE(sequence.step(Trigger::Manual), (ShowSequence::Step{Action::Present, short(i)}));
    QCOMPARE(sequence.step(Trigger::Manual), (ShowSequence::Step{Action::EndAfterLast, 32766}));
    QCOMPARE(sequence.index(), short(32767));
}

QTEST_APPLESS_MAIN(TestShowSequence)
#include "tst_showsequence.moc"
