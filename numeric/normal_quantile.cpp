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
// the order written (built with -ffp-contract=off); the steps are in
// numeric/normal_quantile_steps.h.
#include "numeric/normal_quantile.h"

#include "numeric/normal_quantile_steps.h"

double normal_quantile(const double* p, std::int32_t* fault)
{
    *fault = 0;
    QuantileSteps z;
    if (!quantile_begin(z, *p)) {
        *fault = 1;
        return 0.0;
    }
    quantile_log(z);
    return quantile_value(z);
}
