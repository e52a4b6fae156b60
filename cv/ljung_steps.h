// The steps of Ljung's asymptotic critical value, in groups.
//
// ljung_critical_value runs the groups one after the other. The corrected
// method needs Ljung's value at 100 and at 200 for two of its anchors; it
// runs the groups of both evaluations side by side with its own
// logarithms, so that the processor overlaps the chains of logarithms
// instead of finishing one before it starts the next. Either way every
// operation and operand is that of the steps, so the values are the same to
// the last bit.
//
// Only the module's own sources include this header: they are built with
// -fno-builtin-log and -ffp-contract=off, which these inline steps rely on.
#ifndef CVMODULE_CV_LJUNG_STEPS_H
#define CVMODULE_CV_LJUNG_STEPS_H

#include <cmath>
#include <cstdint>

#include "cv/critical_value.h"

// The quantities of one evaluation, named as in the steps.
struct LjungSteps {
    double c;  // ln n
    double s;  // sqrt(c + c)
    double v;  // 2 - sqrt(1 + alpha), the Gumbel probability
    double w;  // ln v
    double d;  // ln(w x -0.5), the level term: -x(alpha)
    double e;  // ln c
};

// x = n as a double, c = ln x, s; u = sqrt(1 + alpha), v = 2 - u.
inline void ljung_begin(LjungSteps& q, std::int32_t n, double alpha)
{
    const double x = static_cast<double>(n);
    q.c = std::log(x);
    q.s = std::sqrt(q.c + q.c);
    const double u = std::sqrt(1.0 + alpha);
    q.v = 2.0 - u;
}

// Whether the level term exists: v strictly between 0 and 1. At v = 1
// (alpha = 0, or 1 + alpha rounding to 1) it would be infinite, and a NaN
// alpha gives a NaN v.
inline bool ljung_level_exists(const LjungSteps& q)
{
    return q.v > 0.0 && q.v < 1.0;
}

// w = ln v.
inline void ljung_level_log(LjungSteps& q)
{
    q.w = std::log(q.v);
}

// d = ln(w x -0.5).
inline void ljung_level_term(LjungSteps& q)
{
    q.d = std::log(q.w * -0.5);
}

// e = ln c.
inline void ljung_log_log(LjungSteps& q)
{
    q.e = std::log(q.c);
}

// T1 + T2 with T1 = (0 - d) / s and T2 = s - (e + K) / (s + s).
inline double ljung_value(const LjungSteps& q)
{
    const double t1 = (0.0 - q.d) / q.s;
    const double t2 = q.s - (q.e + K) / (q.s + q.s);
    return t1 + t2;
}

#endif
