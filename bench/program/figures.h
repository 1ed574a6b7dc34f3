#pragma once

// Figures of the program benchmark: milliseconds, medians and how they are written.

#include <QString>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace bench {

// A figure that was not measured.
inline const double kNone = std::nan("");

inline double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

inline double median(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }),
                 values.end());
    if (values.empty())
        return kNone;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline QString figure(double value, const char *unit, int decimals = 0)
{
    return std::isnan(value) ? QStringLiteral("–")
                             : QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(unit));
}

inline QString ratio(double ours, double reference)
{
    if (std::isnan(ours) || std::isnan(reference) || reference <= 0)
        return {};
    return QStringLiteral(" (%1×)").arg(ours / reference, 0, 'f', 2);
}

template <typename T, typename F>
double medianOf(const std::vector<T> &runs, F value)
{
    std::vector<double> values;
    for (const T &run : runs)
        values.push_back(value(run));
    return median(values);
}

// One kind's figures of every click of every run.
template <typename T>
std::vector<double> clicksOf(const std::vector<T> &runs, std::map<QString, std::vector<double>> T::*figures,
                             const QString &label)
{
    std::vector<double> values;
    for (const T &run : runs) {
        const auto it = (run.*figures).find(label);
        if (it != (run.*figures).end())
            values.insert(values.end(), it->second.begin(), it->second.end());
    }
    return values;
}

template <typename T>
double medianOfClicks(const std::vector<T> &runs, std::map<QString, std::vector<double>> T::*figures,
                      const QString &label)
{
    return median(clicksOf(runs, figures, label));
}

// The largest of `values` and how many of them (not heard counts as one) are over three times
// their median: "max 310 ms, 0 of 20 over 3× the median".
inline QString spread(const std::vector<double> &values)
{
    const double middle = median(values);
    double largest = kNone;
    int over = 0;
    for (double v : values) {
        if (!std::isnan(v))
            largest = std::isnan(largest) ? v : std::max(largest, v);
        over += std::isnan(v) || v > 3 * middle ? 1 : 0;
    }
    return QStringLiteral("max %1, %2 of %3 over 3× the median")
        .arg(figure(largest, "ms"))
        .arg(over)
        .arg(values.size());
}

} // namespace bench
