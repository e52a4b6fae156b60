// Whether a value lies in its curve's sensible range. A critical value for
// the largest of n statistics must grow with n and fall as the level grows;
// a value below the one at n - 1, or below the one at a slightly larger
// level, breaks that, and a test with it does not hold its level. Only the
// module's own values decide.
#ifndef CORE_SENSIBLE_RANGE_H
#define CORE_SENSIBLE_RANGE_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/ljungcv.h"

namespace core {

// The numbers are the C interface's CVHOST_RANGE_* values.
enum class Range : std::int32_t { holds = 0, below_previous_n = 1, below_larger_level = 2, no_value = 3 };

// The slightly larger level that a value at alpha is compared with:
// alpha (1 + LEVEL_STEP), or, where that is above the highest level, the
// level is compared with alpha / (1 + LEVEL_STEP) the other way round. One
// per cent is coarse enough that the comparison measures the curve, not the
// rounding of its values, and fine enough to find every level between 0.001
// and 0.055 out of order at n = 400 000.
inline constexpr double LEVEL_STEP = 0.01;

// Points of one curve, each evaluated once while it stays among the recent
// ones: a series of counts at a level finds its value at n - 1 here, and a
// table's row finds the previous row's.
class RecentPoints {
public:
    explicit RecentPoints(Curve& curve) : curve_(curve) {}

    Point at(double n, double alpha);
    Curve& curve() { return curve_; }

private:
    struct Slot {
        std::uint64_t n_bits = 0;
        std::uint64_t alpha_bits = 0;
        bool used = false;
        Point point;
    };
    static constexpr int SLOT_BITS = 8;
    static constexpr std::size_t SLOTS = std::size_t{1} << SLOT_BITS;

    Curve& curve_;
    std::array<Slot, SLOTS> slots_{};
};

// The verdict on `here`, the curve's point at (n, alpha). A point without a
// value holds (no evidence either way), and so does one whose neighbour has
// none.
Range assess(RecentPoints& points, double n, double alpha, const Point& here);

// The point at (n, alpha) and its verdict.
struct AssessedPoint {
    Point point;
    Range range = Range::holds;
};
AssessedPoint assess_at(RecentPoints& points, double n, double alpha);

// count assessed evaluations; each output array may be null.
void assess_many(Curve& curve, std::size_t count, const double* n, const double* alpha, double* values,
                 std::int32_t* statuses, std::int32_t* rejected, std::int32_t* ranges);

// Whether the function rejects `alpha` as a level (asked at a count it accepts).
bool level_rejected(Curve& curve, double alpha);

}  // namespace core

#endif
