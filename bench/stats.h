#pragma once

#include <cstddef>
#include <vector>

namespace qj::bench {

// Order statistics of a set of samples: a figure is given as its median and its spread.
class Stats
{
public:
    Stats() = default;
    explicit Stats(std::vector<double> samples);

    void add(double sample); // NaN, a figure a run did not yield, is left out
    bool empty() const { return m_samples.empty(); }
    std::size_t count() const { return m_samples.size(); }

    // Quantile q (0 to 1), interpolated between the two nearest ranks.
    double quantile(double q) const;
    double median() const { return quantile(0.5); }
    double min() const { return quantile(0.0); }
    double max() const { return quantile(1.0); }
    double mean() const;

private:
    void sort() const;

    mutable std::vector<double> m_samples;
    mutable bool m_sorted = true;
};

} // namespace qj::bench
