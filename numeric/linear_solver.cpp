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
// A singular row or pivot ends the solve before b is read; otherwise the
// steps on b (its scaling, interchanges and updates, then back substitution)
// follow those on A in the elimination's own order. Every operation is one
// IEEE double rounding, in the order written.
#include "numeric/linear_solver.h"

#include "numeric/linear_solver_steps.h"

void solve_linear_system(const std::int32_t* n_ptr, const double* a, const double* b,
                         const std::int32_t* lda_ptr, double* x, std::int32_t* flag)
{
    const int n = *n_ptr;
    const int lda = *lda_ptr;
    // The work area holds at most three rows; a leading dimension below the
    // order would make columns overlap or index before A.
    if (n < 1 || n > SOLVER_MAX_ORDER || lda < n) {
        *flag = 2;
        return;
    }
    // The steps in numeric/linear_solver_steps.h: first those on A alone,
    // then those on b. Only cells that step 1 writes are read later, so the
    // work area is not cleared.
    MatrixElimination m;
    if (!eliminate_matrix(n, a, lda, m)) {
        *flag = 2;
        return;
    }
    solve_right_hand_side(m, b, x);
    *flag = 1;
}
