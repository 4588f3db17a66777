#include "bench/stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qj::bench {

Stats::Stats(std::vector<double> samples)
{
    for (double s : samples)
        add(s);
}

void Stats::add(double sample)
{
    if (std::isnan(sample))
        return; // a run that did not yield this figure
    m_samples.push_back(sample);
    m_sorted = false;
}

void Stats::sort() const
{
    if (!m_sorted)
        std::sort(m_samples.begin(), m_samples.end());
    m_sorted = true;
}

double Stats::quantile(double q) const
{
    if (m_samples.empty())
        return NAN;
    sort();
    const double rank = std::clamp(q, 0.0, 1.0) * double(m_samples.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, m_samples.size() - 1);
    const double part = rank - double(below);
    return m_samples[below] + (m_samples[above] - m_samples[below]) * part;
}

double Stats::mean() const
{
    if (m_samples.empty())
        return NAN;
    return std::accumulate(m_samples.begin(), m_samples.end(), 0.0) / double(m_samples.size());
}

} // namespace qj::bench
