// The inverse look-up of a curve: for a threshold c, the count n at which
// the method's value at a level first reaches c where the curve holds. A
// user with a fixed threshold (3.5, say) learns from it for which series
// lengths that threshold is stricter than the test at this level (below n)
// and for which it is laxer (from n on).
#ifndef CORE_REACH_H
#define CORE_REACH_H

#include <cstdint>
#include <limits>
#include <vector>

#include "core/ljungcv.h"
#include "core/sensible_range.h"
#include "core/stretches.h"

namespace core {

// How the curve meets the threshold. The numbers are the C interface's
// CVHOST_REACH_* values.
enum class Reach : std::int32_t {
    crosses = 0,     // rising where it holds: below c at n - 1, at or above it at n
    from_start = 1,  // at or above c from the first count of a stretch where it holds
    never = 2,       // below c wherever it holds
};

// "crosses", "from_start" or "never", as the command writes it.
const char* reach_name(Reach reach);

struct ThresholdReach {
    Reach reach = Reach::never;
    // crosses and from_start: that count. never: the count of the largest
    // value where the curve holds (NaN where it holds nowhere).
    double n = std::numeric_limits<double>::quiet_NaN();
    double value = MISSING_VALUE;     // the value at n
    double previous = MISSING_VALUE;  // crosses: the value at n - 1, below c
    // never: the first count where the value reaches c although the curve
    // is out of range there, and that stretch's verdict; NaN when none.
    double outside_n = std::numeric_limits<double>::quiet_NaN();
    Range outside_range = Range::holds;
};

// The look-up over every count from 1 to the largest, in the curve's
// stretches (stretches.h), every value from the module. Where the curve
// holds it does not fall, so within such a stretch the counts at or above
// c follow those below it and bisection finds the first; where it is below
// the value at a larger level it does not fall either, and where it is
// below the value at n - 1 it falls throughout, so only its first count
// can be the first at or above c. A stretch the curve enters at or above c
// has no crossing in it; a crossing in a later stretch where it holds
// comes first (Ljung's curve holds at n = 2 alone before it falls), and
// without one the first such stretch is the answer. c must not be NaN.
ThresholdReach reach(Curve& curve, double alpha, double threshold);
// The same within the curve's stretches at alpha as stretches() found them,
// for several thresholds at one level.
ThresholdReach reach(Curve& curve, double alpha, double threshold, const std::vector<Stretch>& found);

}  // namespace core

#endif
