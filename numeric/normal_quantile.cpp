// Inverse of the standard normal distribution function.
//
// Method: algorithm AS 111, Beasley and Springer, Applied Statistics 26
// (1977) 118-121. For |p - 0.5| <= 0.42 a rational function of degree 3/4 in
// (p - 0.5)^2; in the tails a rational function of degree 3/2 in
// sqrt(-ln r), r the smaller tail probability. No refinement step follows,
// by design: the result is AS 111's own, accurate to 6e-8 for
// 0.001 <= p <= 0.999 and to 1.3e-4 at p = 1e-10. Callers rely on exactly
// these values, so a more accurate quantile is not a substitute.
//
// Arithmetic is IEEE double, one rounding per operation, Horner's rule in
// the order written (built with -ffp-contract=off).
#include "numeric/normal_quantile.h"

#include <cmath>

namespace {

// Coefficients of AS 111 as published (eleven decimals).
constexpr double SPLIT = 0.42;
constexpr double A0 = 2.50662823884;
constexpr double A1 = -18.61500062529;
constexpr double A2 = 41.39119773534;
constexpr double A3 = -25.44106049637;
constexpr double B1 = -8.47351093090;
constexpr double B2 = 23.08336743743;
constexpr double B3 = -21.06224101826;
constexpr double B4 = 3.13082909833;
constexpr double C0 = -2.78718931138;
constexpr double C1 = -2.29796479134;
constexpr double C2 = 4.85014127135;
constexpr double C3 = 2.32121276858;
constexpr double D1 = 3.54388924762;
constexpr double D2 = 1.63706781897;

}  // namespace

double normal_quantile(const double* p, std::int32_t* fault)
{
    *fault = 0;
    const double q = *p - 0.5;

    // A NaN probability has no deviate; without this test it would take the
    // central branch and come back as NaN with fault 0.
    if (std::isnan(q)) {
        *fault = 1;
        return 0.0;
    }

    if (!(std::fabs(q) > SPLIT)) {
        const double r = q * q;
        const double num = ((A3 * r + A2) * r + A1) * r + A0;
        const double den = (((B4 * r + B3) * r + B2) * r + B1) * r + 1.0;
        return (q * num) / den;
    }

    double r = *p;
    if (q > 0.0) {
        r = 1.0 - *p;
    }
    if (r <= 0.0) {
        *fault = 1;
        return 0.0;
    }

    const double t = std::sqrt(0.0 - std::log(r));
    const double v = (((C3 * t + C2) * t + C1) * t + C0) / ((D2 * t + D1) * t + 1.0);
    return q < 0.0 ? -v : v;
}
