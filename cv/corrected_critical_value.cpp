// Small-sample corrected critical value.
//
// Method: the curve x1 + x2 g(n) + x3 s(n) in the extreme-value quantities
//   s(m) = sqrt(2 ln m),  g(m) = (ln ln m + K) / (2 s(m)),
// fitted through three anchors: at m = 2 the exact critical value of two
// independent normal observations, z with (2 Phi(z) - 1)^2 = 1 - alpha, and
// at m = 100 and 200 Ljung's asymptotic value. One observation has its own
// exact value, the two-sided normal quantile for alpha. The curve is exact
// for one and two observations and meets Ljung's value at 100 and 200.
//
// The anchors, the 3 x 3 system and its solution are recomputed on every
// call, as the steps say: nothing is kept between calls.
//
// Order of evaluation: the steps are chains of logarithms (ln m, then
// ln ln m, for each anchor and for n; Ljung's ln n, ln ln n and level term
// at 100 and 200; the normal quantile's), each link waiting for the one
// before, and the fit waits for all of them. Two things shorten the wait
// without changing a single operation or operand:
//   - The matrix depends on neither n nor alpha, and so does everything the
//     solver does with it alone: the row scale factors, the pivot choices,
//     the multipliers, the elimination of its columns, the pivot tests
//     (numeric/linear_solver_steps.h). That part comes first and runs
//     beside the anchor chains; only the right-hand side's part (the scaled
//     anchor values, their updates in the elimination's order, the back
//     substitution) waits for the anchor values.
//   - Of the anchor chains, the first link of every chain comes first, then
//     the second links, then the third, so that the waits overlap. The
//     normal anchor's quantile is one such chain too (its tail's logarithm,
//     then square root and rational function): its groups run apart
//     (numeric/normal_quantile_steps.h).
// Each quantity is still computed by the operations of the steps from the
// same operands, so the result is the same to the last bit. The order
// within these constraints is the fastest of those measured.
//
// Domain: n >= 1 and 0 < alpha <= 0.1. At alpha = 0 (or a level so small
// that the anchor's probability rounds to 1), or a NaN alpha, the normal
// quantile has no deviate; n <= 0 has no logarithm. Those inputs are
// answered with MISSING_VALUE.
#include <cmath>

#include "cv/critical_value.h"
#include "host/ljungcv_function.h"
#include "ljung_steps.h"
#include "host/host_toolkit.h"
#include "numeric/linear_solver_steps.h"
#include "numeric/normal_quantile.h"
#include "numeric/normal_quantile_steps.h"

namespace {

constexpr int ANCHORS = 3;
constexpr double ANCHOR_SIZES[ANCHORS] = {CORRECTED_ANCHOR_COUNTS[1], CORRECTED_ANCHOR_COUNTS[2],
                                          CORRECTED_ANCHOR_COUNTS[3]};

}  // namespace

double corrected_critical_value(const std::int32_t* n, const double* alpha)
{
    if (*n <= 0) {
        return MISSING_VALUE;
    }

    // 1. One observation: the two-sided normal critical value.
    if (*n == 1) {
        std::int32_t fault = 0;
        const double p = 1.0 - 0.5 * *alpha;
        const double z = normal_quantile(&p, &fault);
        return fault == 1 ? MISSING_VALUE : z;
    }

    // 2. Anchors m = 2, 100, 200: rows (1, g, s) of A, column-major, order
    //    3, and values y(i); with them the curve's basis at n (step 4).
    //    The rows, and step 3's work on them alone, come first.
    double c[ANCHORS];
    for (int i = 0; i < ANCHORS; ++i) {
        c[i] = std::log(ANCHOR_SIZES[i]);
    }
    double e[ANCHORS];
    for (int i = 0; i < ANCHORS; ++i) {
        e[i] = std::log(c[i]);
    }
    double A[ANCHORS * ANCHORS];
    for (int i = 0; i < ANCHORS; ++i) {
        A[i + 0 * ANCHORS] = 1.0;
        const double s = std::sqrt(c[i] + c[i]);
        A[i + 2 * ANCHORS] = s;
        A[i + 1 * ANCHORS] = (e[i] + K) / (s * 2.0);
    }
    MatrixElimination fit;
    const bool regular = eliminate_matrix(ANCHORS, A, ANCHORS, fit);

    //    The values. First links: the normal anchor's probability and the
    //    quantile's logarithm; c = ln n; Ljung's own c and v at 100 and 200.
    double y[ANCHORS];
    const double p = (std::sqrt(1.0 - *alpha) + 1.0) * 0.5;
    QuantileSteps z;
    if (!quantile_begin(z, p)) {
        return MISSING_VALUE;
    }
    quantile_log(z);
    const double cn = std::log(static_cast<double>(*n));

    LjungSteps ljung[ANCHORS - 1];
    for (int i = 1; i < ANCHORS; ++i) {
        ljung_begin(ljung[i - 1], static_cast<std::int32_t>(ANCHOR_SIZES[i]), *alpha);
    }
    // Ljung's value can be missing where the quantile exists: for
    // 2.78e-16 <= alpha < 3.33e-16 the anchor's probability is below 1 but
    // sqrt(1 + alpha) still rounds to 1. A missing value would otherwise run
    // through the fit as a NaN.
    for (const LjungSteps& q : ljung) {
        if (!ljung_level_exists(q)) {
            return MISSING_VALUE;
        }
    }

    //    Second links: Ljung's w = ln v; e = ln c for n; Ljung's e.
    for (LjungSteps& q : ljung) {
        ljung_level_log(q);
    }
    const double en = std::log(cn);
    for (LjungSteps& q : ljung) {
        ljung_log_log(q);
    }

    //    Third links: the normal anchor's deviate; Ljung's level term d;
    //    then the values.
    y[0] = quantile_value(z);
    for (LjungSteps& q : ljung) {
        ljung_level_term(q);
    }
    for (int i = 1; i < ANCHORS; ++i) {
        y[i] = ljung_value(ljung[i - 1]);
    }
    const double sn = std::sqrt(cn + cn);
    const double tn = (K + en) / (sn + sn);

    // 3. Fit the curve: the solve's right-hand side part. A singular matrix
    //    (never, with these anchors) has no fit.
    if (!regular) {
        return MISSING_VALUE;
    }
    double x[ANCHORS];
    solve_right_hand_side(fit, y, x);

    // 4. Evaluate it at n.
    return (tn * x[1] + x[0]) + x[2] * sn;
}
