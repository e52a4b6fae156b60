// The steps of the linear solver (numeric/linear_solver.cpp), in two parts
// split by what they read.
//
// The matrix's part reads A alone: the row scale factors, the pivot choices
// (they compare matrix entries only), the multipliers, the elimination of
// the matrix columns and the pivot tests. The right-hand side's part reads b
// and what the matrix's part left: the scaling of b, its interchanges and
// updates in the elimination's own order, and the back substitution.
// solve_linear_system runs one part after the other. The corrected method,
// whose matrix depends on neither n nor alpha, runs the matrix's part while
// its anchor values are still being computed, and the right-hand side's
// part once they are there. Either way every cell of W and every component
// of x comes from the same operations on the same operands, in the same
// order, so the solution is the same to the last bit.
//
// Indices count from 1, as in the steps. Only the module's own sources
// include this header: they are built with -ffp-contract=off, which these
// inline steps rely on.
#ifndef CVMODULE_NUMERIC_LINEAR_SOLVER_STEPS_H
#define CVMODULE_NUMERIC_LINEAR_SOLVER_STEPS_H

#include <cmath>
#include <cstdint>

#include "numeric/pivot_test.h"

inline constexpr int SOLVER_MAX_ORDER = 3;

// What the matrix's part leaves for the right-hand side's.
struct MatrixElimination {
    int n = 0;
    double w[SOLVER_MAX_ORDER * SOLVER_MAX_ORDER];    // W(i, j), j <= n, column-major
    double scale[SOLVER_MAX_ORDER];                   // row i's scale factor s
    int pivot[SOLVER_MAX_ORDER];                      // row p interchanged with row k at step k
    double multiplier[SOLVER_MAX_ORDER * SOLVER_MAX_ORDER];  // f of row i at step k, as (i, k)

    double& W(int i, int j) { return w[(i - 1) + (j - 1) * SOLVER_MAX_ORDER]; }
    double W(int i, int j) const { return w[(i - 1) + (j - 1) * SOLVER_MAX_ORDER]; }
    double& f(int i, int k) { return multiplier[(i - 1) + (k - 1) * SOLVER_MAX_ORDER]; }
    double f(int i, int k) const { return multiplier[(i - 1) + (k - 1) * SOLVER_MAX_ORDER]; }
};

// Step 1 on the rows of A, step 2 on its columns, step 3, for an order n of
// 1 to 3 and lda >= n. Returns false for a singular system: a row without a
// nonzero entry (it has no scale factor), or a pivot that nearly_equal calls
// zero. Nothing is left then for the right-hand side's part.
inline bool eliminate_matrix(int n, const double* a, int lda, MatrixElimination& m)
{
    auto A = [a, lda](int i, int j) { return a[(i - 1) + (j - 1) * lda]; };
    const double zero = 0.0;
    m.n = n;

    for (int i = 1; i <= n; ++i) {
        double r = 0.0;
        for (int j = 1; j <= n; ++j) {
            if (std::fabs(A(i, j)) > r) {
                r = std::fabs(A(i, j));
            }
        }
        if (r == 0.0) {
            return false;
        }
        const double s = 1.0 / r;
        m.scale[i - 1] = s;
        for (int j = 1; j <= n; ++j) {
            m.W(i, j) = A(i, j) * s;
        }
    }

    for (int k = 1; k <= n - 1; ++k) {
        double best = 0.0;
        int p = k;
        for (int i = k; i <= n; ++i) {
            if (std::fabs(m.W(i, k)) > best) {
                best = std::fabs(m.W(i, k));
                p = i;
            }
        }
        if (nearly_equal(&best, &zero) == 1) {
            return false;
        }
        m.pivot[k - 1] = p;
        if (p != k) {
            for (int j = k; j <= n; ++j) {
                const double t = m.W(k, j);
                m.W(k, j) = m.W(p, j);
                m.W(p, j) = t;
            }
        }
        for (int i = k + 1; i <= n; ++i) {
            const double f = m.W(i, k) / m.W(k, k);
            m.f(i, k) = f;
            for (int j = k + 1; j <= n; ++j) {
                m.W(i, j) = m.W(i, j) - m.W(k, j) * f;
            }
        }
    }

    return nearly_equal(&m.W(m.n, m.n), &zero) == 0;
}

// Step 1 on b, step 2 on column n + 1 of W, step 4: x from b.
inline void solve_right_hand_side(const MatrixElimination& m, const double* b, double* x)
{
    const int n = m.n;
    // Column n + 1 of W. Cleared only because static analysis cannot see
    // that n >= 1 here: the loops write every cell before it is read.
    double v[SOLVER_MAX_ORDER] = {};
    for (int i = 1; i <= n; ++i) {
        v[i - 1] = m.scale[i - 1] * b[i - 1];
    }

    for (int k = 1; k <= n - 1; ++k) {
        const int p = m.pivot[k - 1];
        if (p != k) {
            const double t = v[k - 1];
            v[k - 1] = v[p - 1];
            v[p - 1] = t;
        }
        for (int i = k + 1; i <= n; ++i) {
            v[i - 1] = v[i - 1] - v[k - 1] * m.f(i, k);
        }
    }

    x[n - 1] = v[n - 1] / m.W(n, n);
    for (int i = n - 1; i >= 1; --i) {
        double sum = 0.0;
        for (int j = i + 1; j <= n; ++j) {
            sum = sum + m.W(i, j) * x[j - 1];
        }
        x[i - 1] = (v[i - 1] - sum) / m.W(i, i);
    }
}

#endif
