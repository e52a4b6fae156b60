// Where a curve is a sensible critical value: for one method and level, the
// stretches of n from 1 to the largest count where its value holds, is out
// of range, or is missing.
#ifndef CORE_STRETCHES_H
#define CORE_STRETCHES_H

#include <vector>

#include "core/sensible_range.h"

namespace core {

struct Stretch {
    double first;
    double last;
    Range range;  // no_value where the method gives none
};

// Every n up to SCAN_DENSE is looked at; beyond, n grows by SCAN_RATIO at a
// time, and each change between two neighbours is placed exactly by
// bisection over the counts between them. A change that comes and goes
// between two such neighbours would be missed; the curves are smooth at
// that scale.
inline constexpr double SCAN_DENSE = 1000.0;
inline constexpr double SCAN_RATIO = 1.005;

std::vector<Stretch> stretches(Curve& curve, double alpha);

}  // namespace core

#endif
