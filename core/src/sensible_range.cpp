#include "core/sensible_range.h"

#include <bit>
#include <cmath>

#include "host/ljungcv_function.h"

namespace core {

Point RecentPoints::at(double n, double alpha)
{
    const auto n_bits = std::bit_cast<std::uint64_t>(n);
    const auto alpha_bits = std::bit_cast<std::uint64_t>(alpha);
    // Neighbouring counts differ in their high mantissa bits, levels
    // anywhere: multiplying spreads both into the top bits, which pick the slot.
    const std::uint64_t hash = (n_bits * 0x9E3779B97F4A7C15ULL) ^ (alpha_bits * 0xC2B2AE3D27D4EB4FULL);
    Slot& slot = slots_[(hash ^ (hash >> 29)) >> (64 - SLOT_BITS)];
    if (!slot.used || slot.n_bits != n_bits || slot.alpha_bits != alpha_bits) {
        slot = {n_bits, alpha_bits, true, curve_.at(n, alpha)};
    }
    return slot.point;
}

Range assess(RecentPoints& points, double n, double alpha, const Point& here)
{
    if (here.status != STATUS_OK || !count_fits(n)) {
        return Range::holds;
    }
    const Point before = points.at(std::trunc(n) - 1.0, alpha);
    if (before.status == STATUS_OK && here.value < before.value) {
        return Range::below_previous_n;
    }
    const double larger = alpha * (1.0 + LEVEL_STEP);
    if (larger <= MAX_ALPHA) {
        const Point next = points.at(n, larger);
        if (next.status == STATUS_OK && here.value < next.value) {
            return Range::below_larger_level;
        }
    } else {
        const Point previous = points.at(n, alpha / (1.0 + LEVEL_STEP));
        if (previous.status == STATUS_OK && previous.value < here.value) {
            return Range::below_larger_level;
        }
    }
    return Range::holds;
}

AssessedPoint assess_at(RecentPoints& points, double n, double alpha)
{
    AssessedPoint assessed{points.at(n, alpha), Range::holds};
    assessed.range = assess(points, n, alpha, assessed.point);
    return assessed;
}

void assess_many(Curve& curve, std::size_t count, const double* n, const double* alpha, double* values,
                 std::int32_t* statuses, std::int32_t* rejected, std::int32_t* ranges)
{
    if (ranges == nullptr) {
        curve.many(count, n, alpha, values, statuses, rejected);
        return;
    }
    RecentPoints points(curve);
    for (std::size_t i = 0; i < count; ++i) {
        const AssessedPoint assessed = assess_at(points, n[i], alpha[i]);
        if (values != nullptr) {
            values[i] = assessed.point.value;
        }
        if (statuses != nullptr) {
            statuses[i] = assessed.point.status;
        }
        if (rejected != nullptr) {
            rejected[i] = assessed.point.rejected;
        }
        ranges[i] = static_cast<std::int32_t>(assessed.range);
    }
}

bool level_rejected(Curve& curve, double alpha)
{
    constexpr double ANY_COUNT = 10.0;
    return curve.at(ANY_COUNT, alpha).status == STATUS_INVALID_ARGUMENT;
}

}  // namespace core
