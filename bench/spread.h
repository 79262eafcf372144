#pragma once

#include <QString>

#include <algorithm>
#include <vector>

// A figure taken several times over: a slow moment of a shared machine shows as a wide
// spread instead of passing for the program's speed.
struct Spread
{
    static constexpr int Repetitions = 5;

    double median = 0;
    double min = 0;
    double max = 0;

    // "1.034 (1.031-1.040)" with `decimals` places.
    QString text(int decimals) const
    {
        return QStringLiteral("%1 (%2-%3)")
            .arg(median, 0, 'f', decimals)
            .arg(min, 0, 'f', decimals)
            .arg(max, 0, 'f', decimals);
    }
};

inline Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// Takes the figure `times` times.
template <typename Take> Spread repeated(Take take, int times = Spread::Repetitions)
{
    std::vector<double> values;
    for (int i = 0; i < times; ++i)
        values.push_back(take());
    return spreadOf(std::move(values));
}
