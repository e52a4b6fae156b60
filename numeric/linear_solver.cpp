// Small dense linear systems by Gaussian elimination with scaled partial
// pivoting.
//
// Method: each row of [A | b] is scaled by the reciprocal of its largest
// coefficient magnitude into a local 3 x 4 work area W; elimination then
// picks the largest scaled magnitude in each column as pivot (the lowest row
// among equals), and back substitution gives x. A pivot whose magnitude is
// below PIVOT_TOLERANCE counts as zero and the system as singular. The test
// is absolute and on scaled values only, so a system that is singular in
// exact arithmetic but leaves a pivot of 1e-16 through rounding is solved.
//
// Indices count from 1, as in the steps; W and A are column-major. Every
// operation is one IEEE double rounding, in the order written.
#include "numeric/linear_solver.h"

#include <cmath>

namespace {

constexpr int MAX_ORDER = 3;
constexpr int W_ROWS = MAX_ORDER;
constexpr int W_COLUMNS = MAX_ORDER + 1;

struct WorkArea {
    double cell[W_ROWS * W_COLUMNS];

    double& operator()(int i, int j) { return cell[(i - 1) + (j - 1) * W_ROWS]; }
};

}  // namespace

std::int32_t nearly_equal(const double* u, const double* v)
{
    return std::fabs(*u - *v) < PIVOT_TOLERANCE ? 1 : 0;
}

void solve_linear_system(const std::int32_t* n_ptr, const double* a, const double* b,
                         const std::int32_t* lda_ptr, double* x, std::int32_t* flag)
{
    const int n = *n_ptr;
    const int lda = *lda_ptr;
    // The work area holds at most three rows; a leading dimension below the
    // order would make columns overlap or index before A.
    if (n < 1 || n > MAX_ORDER || lda < n) {
        *flag = 2;
        return;
    }
    auto A = [a, lda](int i, int j) { return a[(i - 1) + (j - 1) * lda]; };
    const double zero = 0.0;
    WorkArea W;  // not zeroed: step 1 writes every cell that the later steps read

    // 1. Row scaling into W. A row without a nonzero entry has no scale
    //    factor, and such a system is singular.
    for (int i = 1; i <= n; ++i) {
        double r = 0.0;
        for (int j = 1; j <= n; ++j) {
            if (std::fabs(A(i, j)) > r) {
                r = std::fabs(A(i, j));
            }
        }
        if (r == 0.0) {
            *flag = 2;
            return;
        }
        const double s = 1.0 / r;
        for (int j = 1; j <= n; ++j) {
            W(i, j) = A(i, j) * s;
        }
        W(i, n + 1) = s * b[i - 1];
    }

    // 2. Elimination with partial pivoting.
    for (int k = 1; k <= n - 1; ++k) {
        double best = 0.0;
        int p = k;
        for (int i = k; i <= n; ++i) {
            if (std::fabs(W(i, k)) > best) {
                best = std::fabs(W(i, k));
                p = i;
            }
        }
        if (nearly_equal(&best, &zero) == 1) {
            *flag = 2;
            return;
        }
        if (p != k) {
            for (int j = k; j <= n + 1; ++j) {
                const double t = W(k, j);
                W(k, j) = W(p, j);
                W(p, j) = t;
            }
        }
        for (int i = k + 1; i <= n; ++i) {
            const double f = W(i, k) / W(k, k);
            for (int j = k + 1; j <= n + 1; ++j) {
                W(i, j) = W(i, j) - W(k, j) * f;
            }
        }
    }

    // 3. Last pivot.
    if (nearly_equal(&W(n, n), &zero) == 1) {
        *flag = 2;
        return;
    }

    // 4. Back substitution.
    x[n - 1] = W(n, n + 1) / W(n, n);
    for (int i = n - 1; i >= 1; --i) {
        double sum = 0.0;
        for (int j = i + 1; j <= n; ++j) {
            sum = sum + W(i, j) * x[j - 1];
        }
        x[i - 1] = (W(i, n + 1) - sum) / W(i, i);
    }
    *flag = 1;
}
