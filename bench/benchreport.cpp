#include "bench/benchreport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace lumora::bench {

namespace {

// Enough digits to compare figures by eye, without pretending to a precision the clock lacks.
QString number(double value)
{
    const double size = std::abs(value);
    const int decimals = size >= 100 ? 0 : size >= 10 ? 1 : size >= 0.1 ? 2 : 3;
    return QString::number(value, 'f', decimals);
}

QString withUnit(double value, const QString &unit)
{
    return unit.isEmpty() ? number(value) : number(value) + QLatin1Char(' ') + unit;
}

double ratioOf(const Row &row)
{
    return row.referenceValue > 0 ? row.value / row.referenceValue : 0;
}

QString resultOf(const Row &row)
{
    if (!row.target.isSet())
        return QStringLiteral("-");
    return row.target.met(row.value, ratioOf(row)) ? QStringLiteral("pass")
                                                   : QStringLiteral("MISS");
}

QStringList cellsOf(const Row &row)
{
    const bool hasReference = row.referenceValue > 0;
    return {row.figure,
            withUnit(row.value, row.unit),
            row.reference.isEmpty() ? QStringLiteral("-") : row.reference,
            hasReference ? withUnit(row.referenceValue, row.unit) : QStringLiteral("-"),
            hasReference ? number(ratioOf(row)) + QLatin1Char('x') : QStringLiteral("-"),
            row.target.text(row.unit),
            resultOf(row)};
}

const QStringList &headerCells()
{
    static const QStringList cells = {QStringLiteral("figure"),    QStringLiteral("ours"),
                                      QStringLiteral("reference"), QStringLiteral("ref. value"),
                                      QStringLiteral("ratio"),     QStringLiteral("target"),
                                      QStringLiteral("result")};
    return cells;
}

void printAligned(const std::vector<QStringList> &lines)
{
    std::vector<qsizetype> widths(headerCells().size(), 0);
    for (const QStringList &cells : lines)
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], cells[i].size());
    for (const QStringList &cells : lines) {
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i)
            text += cells[i].leftJustified(widths[size_t(i)] + 2);
        std::printf("%s\n", qPrintable(text.trimmed()));
    }
}

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const QByteArray &text) { return text.startsWith(field); });
    if (line == lines.end())
        return -1;
    return line->mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
}

} // namespace

bool Target::met(double value, double ratio) const
{
    switch (m_kind) {
    case Kind::RatioAtMost:
        return ratio > 0 && ratio <= m_limit;
    case Kind::ValueAtMost:
        return value <= m_limit;
    case Kind::ValueWithin:
        return std::abs(value - m_limit) <= m_tolerance;
    case Kind::None:
        break;
    }
    return true;
}

QString Target::text(const QString &unit) const
{
    switch (m_kind) {
    case Kind::RatioAtMost:
        return QStringLiteral("ratio <= ") + number(m_limit);
    case Kind::ValueAtMost:
        return QStringLiteral("<= ") + withUnit(m_limit, unit);
    case Kind::ValueWithin:
        return number(m_limit) + QStringLiteral(" +-") + withUnit(m_tolerance, unit);
    case Kind::None:
        break;
    }
    return QStringLiteral("-");
}

void Report::add(const Row &row)
{
    m_rows.push_back(row);
}

int Report::finish() const
{
    const QString file = qEnvironmentVariable("LUMORA_BENCH_ROWS");
    if (!file.isEmpty()) {
        QFile rows(file);
        if (!rows.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return 1;
        for (const Row &row : m_rows)
            rows.write((cellsOf(row).join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8());
    } else {
        std::vector<QStringList> lines{headerCells()};
        std::transform(m_rows.begin(), m_rows.end(), std::back_inserter(lines), cellsOf);
        std::printf("\n");
        printAligned(lines);
    }
    const bool allMet = std::all_of(m_rows.begin(), m_rows.end(), [](const Row &row) {
        return row.target.met(row.value, ratioOf(row));
    });
    return allMet ? 0 : 2;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeMs(work));
    return median(times);
}

double fastestMs(int runs, const std::function<void()> &work)
{
    double fastest = 0;
    for (int i = 0; i < runs; ++i) {
        const double time = timeMs(work);
        fastest = i == 0 ? time : std::min(fastest, time);
    }
    return fastest;
}

double freshCopyMs(size_t bytes, const char *source)
{
    return timeMs([&] {
        auto *fresh = static_cast<char *>(std::malloc(bytes));
        std::memcpy(fresh, source, bytes);
        asm volatile("" : : "r"(fresh) : "memory"); // the copy must not be optimised away
        std::free(fresh);
    });
}

long peakRssKiB()
{
    return long(statusKiB("VmHWM:"));
}

long residentKiB()
{
    return long(statusKiB("VmRSS:"));
}

void resetPeakRss()
{
    // Writing 5 sets the kernel's high-water mark of resident memory back to the current size.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace lumora::bench
