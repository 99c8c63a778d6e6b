#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace lumora::bench {

// What a figure is held to: a ratio to its reference, a value, or a value and a tolerance.
class Target final {
public:
    static Target none() { return Target(Kind::None, 0, 0); }
    static Target ratioAtMost(double limit) { return Target(Kind::RatioAtMost, limit, 0); }
    static Target valueAtMost(double limit) { return Target(Kind::ValueAtMost, limit, 0); }
    static Target valueWithin(double aim, double tolerance)
    {
        return Target(Kind::ValueWithin, aim, tolerance);
    }

    bool isSet() const { return m_kind != Kind::None; }
    bool met(double value, double ratio) const;
    QString text(const QString &unit) const;

private:
    enum class Kind { None, RatioAtMost, ValueAtMost, ValueWithin };
    Target(Kind kind, double limit, double tolerance)
        : m_kind(kind), m_limit(limit), m_tolerance(tolerance)
    {
    }

    Kind m_kind;
    double m_limit;
    double m_tolerance;
};

// One line of the benchmark table. The ratio is value / referenceValue, both in `unit`.
struct Row {
    QString figure;
    double value = 0;
    QString unit;
    QString reference;
    double referenceValue = 0;
    Target target = Target::none();
};

// Collects a benchmark's rows. When LUMORA_BENCH_ROWS names a file (as scripts/run-bench.sh
// does) the rows are appended there as tab-separated lines, to be printed as one table with
// every other benchmark's; run by hand, the benchmark prints them itself.
class Report final {
public:
    void add(const Row &row);
    // Writes the rows; 0 when every target was met, 2 when one was missed.
    int finish() const;

private:
    std::vector<Row> m_rows;
};

// Timing: milliseconds of one call, and the median or the fastest of several.
double timeMs(const std::function<void()> &work);
double median(std::vector<double> values);
double medianMs(int runs, const std::function<void()> &work);
double fastestMs(int runs, const std::function<void()> &work);

// The floor of any work that produces `bytes` new bytes: fresh memory of that size, filled by
// copying as many bytes from memory already in use.
double freshCopyMs(size_t bytes, const char *source);

// The peak resident size of this process in KiB, and a new peak from now on.
long peakRssKiB();
long residentKiB();
void resetPeakRss();

} // namespace lumora::bench
