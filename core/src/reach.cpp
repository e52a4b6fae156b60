#include "core/reach.h"

#include <cmath>
#include <optional>
#include <vector>

namespace core {

const char* reach_name(Reach reach)
{
    switch (reach) {
    case Reach::crosses:
        return "crosses";
    case Reach::from_start:
        return "from_start";
    case Reach::never:
        break;
    }
    return "never";
}

namespace {

bool reaches(RecentPoints& points, double n, double alpha, double threshold)
{
    const Point point = points.at(n, alpha);
    return point.status == Status::ok && point.value >= threshold;
}

// The first count of `stretch` whose value is at or above c, by the way
// the curve runs there.
std::optional<double> first_reaching(RecentPoints& points, const Stretch& stretch, double alpha, double threshold)
{
    if (reaches(points, stretch.first, alpha, threshold)) {
        return stretch.first;
    }
    if (stretch.range == Range::below_previous_n || stretch.range == Range::no_value ||
        !reaches(points, stretch.last, alpha, threshold)) {
        return std::nullopt;
    }
    double below = stretch.first;  // below c
    double at_or_above = stretch.last;
    while (at_or_above - below > 1.0) {
        const double middle = std::floor((below + at_or_above) / 2.0);
        (reaches(points, middle, alpha, threshold) ? at_or_above : below) = middle;
    }
    return at_or_above;
}

}  // namespace

ThresholdReach reach(Curve& curve, double alpha, double threshold)
{
    return reach(curve, alpha, threshold, stretches(curve, alpha));
}

ThresholdReach reach(Curve& curve, double alpha, double threshold, const std::vector<Stretch>& found)
{
    RecentPoints points(curve);
    std::optional<ThresholdReach> from_start;
    ThresholdReach never;
    for (const Stretch& stretch : found) {
        const std::optional<double> first = first_reaching(points, stretch, alpha, threshold);
        if (stretch.range != Range::holds) {
            if (first && std::isnan(never.outside_n)) {
                never.outside_n = *first;
                never.outside_range = stretch.range;
            }
            continue;
        }
        if (first && *first > stretch.first) {
            return {Reach::crosses, *first, points.at(*first, alpha).value, points.at(*first - 1.0, alpha).value};
        }
        if (first && !from_start) {
            from_start = ThresholdReach{Reach::from_start, *first, points.at(*first, alpha).value};
        }
        // A stretch where the curve holds has its largest value at its end.
        const double largest = points.at(stretch.last, alpha).value;
        if (std::isnan(never.n) || largest > never.value) {
            never.n = stretch.last;
            never.value = largest;
        }
    }
    return from_start ? *from_start : never;
}

}  // namespace core
