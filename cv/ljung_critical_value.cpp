// Ljung's asymptotic critical value.
//
// Method: the Gumbel approximation to the largest of n standard normal
// variables, a(n) + b(n) x(alpha), with
//   a(n) = sqrt(2 ln n) - (ln ln n + K) / (2 sqrt(2 ln n)),  b(n) = 1 / sqrt(2 ln n),
//   x(alpha) = -ln(-1/2 ln(2 - sqrt(1 + alpha))),
// the two-sided quantile: exp(-2 e^-x) = 2 - sqrt(1 + alpha). Evaluated in
// exactly the steps of cv/ljung_steps.h, one IEEE double rounding per
// operation.
//
// Domain: n >= 2, and a level whose Gumbel probability 2 - sqrt(1 + alpha)
// lies strictly between 0 and 1. Outside it the formula has no finite value:
// n = 1 gives ln 0 in e, n <= 0 a logarithm of zero or of a negative count;
// alpha = 0, and any alpha below about 3.3e-16 for which sqrt(1 + alpha)
// rounds to 1, gives v = 1, w = 0 and +infinity; a NaN alpha gives NaN. Those inputs are
// answered with MISSING_VALUE before the logarithm that would fail.
#include "cv/critical_value.h"
#include "ljung_steps.h"
#include "host/host_toolkit.h"

double ljung_critical_value(const std::int32_t* n, const double* alpha)
{
    if (*n <= 1) {
        return MISSING_VALUE;
    }

    // The steps, grouped as in cv/ljung_steps.h: c, s; the level term
    // d = ln(-1/2 ln(2 - sqrt(1 + alpha))) = -x(alpha); e; the result.
    LjungSteps q;
    ljung_begin(q, *n, *alpha);
    if (!ljung_level_exists(q)) {
        return MISSING_VALUE;
    }
    ljung_level_log(q);
    ljung_level_term(q);
    ljung_log_log(q);
    return ljung_value(q);
}
