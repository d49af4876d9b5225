#pragma once
// Latency samples of one kind of request and their percentiles.

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

class Samples {
public:
    void add(double milliseconds) { values_.push_back(milliseconds); }
    void add(const Samples& other) { values_.insert(values_.end(), other.values_.begin(), other.values_.end()); }
    size_t count() const { return values_.size(); }

    // Nearest rank: the smallest sample with at least p percent of the
    // samples at or below it; 0 without samples.
    double percentile(double p) const
    {
        if (values_.empty())
            return 0;
        std::vector<double> sorted = values_;
        const auto rank = static_cast<size_t>(std::ceil(p / 100 * static_cast<double>(sorted.size())));
        const size_t index = std::clamp<size_t>(rank, 1, sorted.size()) - 1;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(index), sorted.end());
        return sorted[index];
    }
    double median() const { return percentile(50); }
    double p99() const { return percentile(99); }

private:
    std::vector<double> values_;
};

}  // namespace bench
