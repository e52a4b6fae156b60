// The steps of the normal quantile (numeric/normal_quantile.cpp), in three
// groups: the branch and the tail probability; the tail's logarithm; the
// deviate.
//
// normal_quantile runs the groups one after the other. The corrected method
// runs them apart, the logarithm among its other first links and the
// deviate once those are under way, so that the processor overlaps this
// chain (square root, logarithm, square root, rational function) with the
// others instead of waiting on it. Either way every operation and operand
// is that of the steps, so the deviate is the same to the last bit.
//
// Only the module's own sources include this header: they are built with
// -fno-builtin-log and -ffp-contract=off, which these inline steps rely on.
#ifndef CVMODULE_NUMERIC_NORMAL_QUANTILE_STEPS_H
#define CVMODULE_NUMERIC_NORMAL_QUANTILE_STEPS_H

#include <cmath>

// Coefficients of AS 111 as published (eleven decimals).
namespace as111 {

inline constexpr double SPLIT = 0.42;
inline constexpr double A0 = 2.50662823884;
inline constexpr double A1 = -18.61500062529;
inline constexpr double A2 = 41.39119773534;
inline constexpr double A3 = -25.44106049637;
inline constexpr double B1 = -8.47351093090;
inline constexpr double B2 = 23.08336743743;
inline constexpr double B3 = -21.06224101826;
inline constexpr double B4 = 3.13082909833;
inline constexpr double C0 = -2.78718931138;
inline constexpr double C1 = -2.29796479134;
inline constexpr double C2 = 4.85014127135;
inline constexpr double C3 = 2.32121276858;
inline constexpr double D1 = 3.54388924762;
inline constexpr double D2 = 1.63706781897;

}  // namespace as111

// The quantities of one evaluation, named as in the steps.
struct QuantileSteps {
    double q;      // p - 0.5
    bool central;  // |q| <= SPLIT (|q| = SPLIT is central)
    double r;      // tail branch: the smaller tail probability
    double lnr;    // tail branch: ln r
};

// Steps 1, 3 and 4: q, the branch and, in the tail, r. Returns false when
// p has no deviate: a NaN p (without this test it would take the central
// branch and come back as NaN), or r <= 0, that is p <= 0 or p >= 1.
inline bool quantile_begin(QuantileSteps& z, double p)
{
    z.q = p - 0.5;
    if (std::isnan(z.q)) {
        return false;
    }
    z.central = !(std::fabs(z.q) > as111::SPLIT);
    if (z.central) {
        return true;
    }
    z.r = p;
    if (z.q > 0.0) {
        z.r = 1.0 - p;
    }
    return z.r > 0.0;
}

// Step 5's logarithm, in the tail.
inline void quantile_log(QuantileSteps& z)
{
    if (!z.central) {
        z.lnr = std::log(z.r);
    }
}

// Step 2, or steps 5 and 6: the deviate. Horner's rule in the order written.
inline double quantile_value(const QuantileSteps& z)
{
    using namespace as111;
    if (z.central) {
        const double r = z.q * z.q;
        const double num = ((A3 * r + A2) * r + A1) * r + A0;
        const double den = (((B4 * r + B3) * r + B2) * r + B1) * r + 1.0;
        return (z.q * num) / den;
    }
    const double t = std::sqrt(0.0 - z.lnr);
    const double v = (((C3 * t + C2) * t + C1) * t + C0) / ((D2 * t + D1) * t + 1.0);
    return z.q < 0.0 ? -v : v;
}

#endif
