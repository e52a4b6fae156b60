#include "core/stretches.h"

#include <algorithm>
#include <cmath>

#include "host/ljungcv_function.h"

namespace core {

namespace {

Range range_at(RecentPoints& points, double n, double alpha)
{
    const AssessedPoint assessed = assess_at(points, n, alpha);
    return assessed.point.status == STATUS_OK ? assessed.range : Range::no_value;
}

}  // namespace

std::vector<Stretch> stretches(Curve& curve, double alpha)
{
    RecentPoints points(curve);
    std::vector<Stretch> found;
    double n = 1.0;
    Range range = range_at(points, n, alpha);
    found.push_back({n, n, range});
    while (n < LARGEST_COUNT) {
        const double next = std::min(LARGEST_COUNT, n < SCAN_DENSE ? n + 1.0 : std::floor(n * SCAN_RATIO));
        const Range next_range = range_at(points, next, alpha);
        double low = n;  // the range at low is `range`
        while (next_range != range) {
            // The first count after `low` whose range differs.
            double high = next;
            while (high - low > 1.0) {
                const double middle = std::floor((low + high) / 2.0);
                (range_at(points, middle, alpha) == range ? low : high) = middle;
            }
            found.back().last = low;
            range = range_at(points, high, alpha);
            found.push_back({high, high, range});
            low = high;
        }
        found.back().last = next;
        n = next;
    }
    return found;
}

}  // namespace core
