#pragma once
// A seeded random source whose sequence is the same with every standard
// library: std::mt19937 is specified bit for bit, the std distributions are
// not, so the few distributions the generator needs are written here.

#include <cstdint>
#include <random>
#include <vector>

namespace bench {

class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}

    // A whole number in [low, high], without modulo bias.
    int between(int low, int high)
    {
        const std::uint64_t span = std::uint64_t(high - low) + 1;
        const std::uint64_t limit = (std::uint64_t{1} << 32) / span * span;
        std::uint64_t x;
        do
            x = engine_();
        while (x >= limit);
        return low + static_cast<int>(x % span);
    }

    // In [0, 1).
    double unit() { return static_cast<double>(engine_()) / 4294967296.0; }
    double between(double low, double high) { return low + (high - low) * unit(); }
    bool chance(double probability) { return unit() < probability; }

    // An index in [0, count) where the first ones come up far more often,
    // as a few goods items make most of the orders.
    int skewedIndex(int count)
    {
        const double u = unit();
        return static_cast<int>(count * u * u);
    }

    template <typename T>
    const T& pick(const std::vector<T>& items)
    {
        return items[static_cast<size_t>(between(0, static_cast<int>(items.size()) - 1))];
    }

private:
    std::mt19937 engine_;
};

}  // namespace bench
