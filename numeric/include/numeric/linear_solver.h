#ifndef CVMODULE_NUMERIC_LINEAR_SOLVER_H
#define CVMODULE_NUMERIC_LINEAR_SOLVER_H

#include <cstdint>

// Solves A x = b for an order *n of 1 to 3. A is column-major with leading
// dimension *lda. Writes *flag = 1 and x on success; *flag = 2, leaving x as
// it was, for a singular system, an order outside 1 to 3 or *lda < *n.
// A, b, n and lda are only read.
void solve_linear_system(const std::int32_t* n, const double* a, const double* b,
                         const std::int32_t* lda, double* x, std::int32_t* flag);

#endif
