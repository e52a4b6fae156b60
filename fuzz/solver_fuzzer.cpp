// Fuzzing the linear solver on 1x1 to 3x3 systems.
//
// A, b, x, the order and the leading dimension each live in a heap block of
// exactly their size, so ASan stops the run at any access outside them.
//
// Input layout (short inputs are padded with zero bytes):
//   0      order: 1 + (byte mod 3); from 0xF8 on an order the solver does
//          not take (0, -1, 4 or INT32_MIN), with a one-element A
//   1      leading dimension: order + (byte mod 3); from 0xF8 on order - 1
//   2      bit 0: values are small multiples of 1/8 (two bytes each) rather
//          than any 64-bit pattern (eight bytes each)
//   3-     A column by column over its leading dimension, then b
//
// Checked on every input:
//   - the flag is 1 or 2, and 2 for an order outside 1 to 3 or a leading
//     dimension below the order;
//   - A, b, the order and the leading dimension are unchanged, and x is
//     untouched on flag 2;
//   - when the row-scaled system (each row of [A | b] times 1 / its largest
//     coefficient magnitude, as the solver scales it) is finite and
//     well-conditioned, the system is solved (flag 1) with a finite x whose
//     residual in the scaled system is within the backward-error bound of
//     Gaussian elimination with partial pivoting.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "numeric/linear_solver.h"
#include "invariant.h"

namespace {

constexpr std::size_t HEADER_SIZE = 3;
constexpr std::int32_t FLAG_SENTINEL = -555;
constexpr std::uint64_t X_SENTINEL = 0x7FF4C0FFEE000000;

// A scaled system counts as well-conditioned up to this infinity-norm
// condition number; its last pivot is then at least 1 / (3 * 1e8), far from
// the solver's zero tolerance.
constexpr long double MAX_CONDITION = 1e8L;
// |W x - c| <= RESIDUAL_FACTOR * eps * (|W| |x| + |c|) in the infinity norm:
// Gaussian elimination with partial pivoting on order n <= 3 has growth at
// most 4 and a backward error of a few n eps; 64 leaves room for both.
constexpr long double RESIDUAL_FACTOR = 64.0L;
// Right-hand sides beyond this may overflow x legitimately.
constexpr long double MAX_RIGHT_HAND_SIDE = 1e250L;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, bool small) : data_(data), size_(size), small_(small) {}

    double next()
    {
        if (small_) {
            const auto raw = static_cast<std::int16_t>(byte() | (byte() << 8));
            return static_cast<double>(raw) / 8.0;
        }
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<std::uint64_t>(byte()) << (8 * i);
        }
        return std::bit_cast<double>(bits);
    }

private:
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    const std::uint8_t* data_;
    std::size_t size_;
    bool small_;
    std::size_t at_ = 0;
};

// Inverse of a 1x1 to 3x3 matrix by its adjugate; false when singular.
bool invert(int n, const long double (&m)[3][3], long double (&inverse)[3][3])
{
    if (n == 1) {
        if (m[0][0] == 0) {
            return false;
        }
        inverse[0][0] = 1 / m[0][0];
        return true;
    }
    if (n == 2) {
        const long double det = m[0][0] * m[1][1] - m[0][1] * m[1][0];
        if (det == 0) {
            return false;
        }
        inverse[0][0] = m[1][1] / det;
        inverse[0][1] = -m[0][1] / det;
        inverse[1][0] = -m[1][0] / det;
        inverse[1][1] = m[0][0] / det;
        return true;
    }
    long double cof[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int r0 = (i + 1) % 3;
            const int r1 = (i + 2) % 3;
            const int c0 = (j + 1) % 3;
            const int c1 = (j + 2) % 3;
            cof[i][j] = m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0];
        }
    }
    const long double det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2];
    if (det == 0) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            inverse[i][j] = cof[j][i] / det;
        }
    }
    return true;
}

long double row_sum_norm(int n, const long double (&m)[3][3])
{
    long double norm = 0;
    for (int i = 0; i < n; ++i) {
        long double sum = 0;
        for (int j = 0; j < n; ++j) {
            sum += std::fabs(m[i][j]);
        }
        norm = std::max(norm, sum);
    }
    return norm;
}

// The residual check on a solved system, in the system scaled as the
// solver scales it. Returns without checking when that system is not
// finite or not well-conditioned.
void check_residual(int n, const double* a, int lda, const double* b, const double* x, std::int32_t flag)
{
    long double w[3][3] = {};
    long double c[3] = {};
    for (int i = 0; i < n; ++i) {
        double r = 0.0;
        for (int j = 0; j < n; ++j) {
            r = std::max(r, std::fabs(a[i + j * lda]));
        }
        if (r == 0.0) {
            return;  // a row without a nonzero coefficient: no scaled form
        }
        const double s = 1.0 / r;
        for (int j = 0; j < n; ++j) {
            const double scaled = a[i + j * lda] * s;
            if (!std::isfinite(scaled)) {
                return;
            }
            w[i][j] = scaled;
        }
        const double scaled_b = s * b[i];
        if (!std::isfinite(scaled_b) || std::fabs(scaled_b) > MAX_RIGHT_HAND_SIDE) {
            return;
        }
        c[i] = scaled_b;
    }
    long double inverse[3][3];
    if (!invert(n, w, inverse)) {
        return;
    }
    const long double norm = row_sum_norm(n, w);
    if (norm * row_sum_norm(n, inverse) > MAX_CONDITION) {
        return;
    }

    check(flag == 1, "a well-conditioned system is solved");
    long double x_norm = 0;
    long double c_norm = 0;
    long double residual = 0;
    for (int i = 0; i < n; ++i) {
        check(std::isfinite(x[i]), "a well-conditioned system has a finite solution");
        x_norm = std::max(x_norm, static_cast<long double>(std::fabs(x[i])));
        c_norm = std::max(c_norm, std::fabs(c[i]));
    }
    for (int i = 0; i < n; ++i) {
        long double sum = c[i];
        for (int j = 0; j < n; ++j) {
            sum -= w[i][j] * x[j];
        }
        residual = std::max(residual, std::fabs(sum));
    }
    const long double eps = std::numeric_limits<double>::epsilon();
    const long double underflow = 1e-300L;  // absolute slack for subnormal solutions
    check(residual <= RESIDUAL_FACTOR * eps * (norm * x_norm + c_norm) + underflow,
          "the residual of a well-conditioned system is small");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, data, size < HEADER_SIZE ? size : HEADER_SIZE);
    Reader reader(size > HEADER_SIZE ? data + HEADER_SIZE : nullptr, size > HEADER_SIZE ? size - HEADER_SIZE : 0,
                  (header[2] & 1) != 0);

    constexpr std::int32_t UNSUPPORTED_ORDERS[] = {0, -1, 4, INT32_MIN};
    const bool supported = header[0] < 0xF8;
    const std::int32_t order = supported ? 1 + header[0] % 3 : UNSUPPORTED_ORDERS[header[0] % 4];
    const bool lda_fits = header[1] < 0xF8;
    const std::int32_t leading = lda_fits ? order + header[1] % 3 : std::max(order, INT32_MIN + 1) - 1;
    const bool solvable_shape = supported && lda_fits;

    // A holds (order - 1) * lda + order elements; one for a shape the
    // solver refuses, which must not read it.
    const std::size_t a_size = solvable_shape ? static_cast<std::size_t>((order - 1) * leading + order) : 1;
    const std::size_t vector_size = solvable_shape ? static_cast<std::size_t>(order) : 1;
    auto a = std::make_unique<double[]>(a_size);
    auto b = std::make_unique<double[]>(vector_size);
    auto x = std::make_unique<double[]>(vector_size);
    for (std::size_t i = 0; i < a_size; ++i) {
        a[i] = reader.next();
    }
    for (std::size_t i = 0; i < vector_size; ++i) {
        b[i] = reader.next();
        x[i] = std::bit_cast<double>(X_SENTINEL);
    }
    auto n_block = std::make_unique<std::int32_t>(order);
    auto lda_block = std::make_unique<std::int32_t>(leading);
    auto flag = std::make_unique<std::int32_t>(FLAG_SENTINEL);

    auto a_before = std::make_unique<double[]>(a_size);
    auto b_before = std::make_unique<double[]>(vector_size);
    std::memcpy(a_before.get(), a.get(), a_size * sizeof(double));
    std::memcpy(b_before.get(), b.get(), vector_size * sizeof(double));

    solve_linear_system(n_block.get(), a.get(), b.get(), lda_block.get(), x.get(), flag.get());

    check(*flag == 1 || *flag == 2, "the flag is 1 or 2");
    check(solvable_shape || *flag == 2, "an order outside 1 to 3 or lda < n gives flag 2");
    check(*n_block == order && *lda_block == leading, "n and lda are unchanged");
    check(std::memcmp(a.get(), a_before.get(), a_size * sizeof(double)) == 0, "A is unchanged");
    check(std::memcmp(b.get(), b_before.get(), vector_size * sizeof(double)) == 0, "b is unchanged");
    if (*flag == 2) {
        for (std::size_t i = 0; i < vector_size; ++i) {
            check(std::bit_cast<std::uint64_t>(x[i]) == X_SENTINEL, "x is untouched on flag 2");
        }
    }
    if (solvable_shape) {
        check_residual(order, a.get(), leading, b.get(), x.get(), *flag);
    }
    return 0;
}
