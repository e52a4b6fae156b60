// The correlation of the residuals with an outlier's regressor at every
// time, dot[T] = sum_{j < n - T} e_{T+j} x_j, in two parts:
//
//   head  j < H: term by term, O(n H), or where that costs more, by FFT:
//         with e and the head zero-padded to L >= 2n, the inverse transform
//         of E(f) conj(X(f)) is the circular correlation, which for T < n
//         wraps onto nothing but the padding. O(L log L) a round, the
//         head's transform taken once.
//   tail  j >= H, by the tail's rule and a running sum of the residuals
//         from the end (R[t] for t >= n is 0):
//           constant   x_{H-1} R[T+H],    R[t] = e_t + R[t+1]
//           geometric  x_{H-1} R[T+H],    R[t] = ratio (e_t + R[t+1])
//           periodic   sum_{r < s} x_{H-s+r} R[T+H+r],  R[t] = e_t + R[t+s]
//
// Everything is O(n) beyond the head, whatever the length of the series.
#include <algorithm>
#include <bit>
#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include <unsupported/Eigen/FFT>

#include "outlier_regressors.h"

namespace core::outlier_detail {

namespace {

// Transforms of at least twice the series' length, a power of 2.
std::size_t fft_size(std::size_t n)
{
    return std::bit_ceil(std::max<std::size_t>(2 * n, 2));
}

// Term by term the head costs n H multiply-adds; by FFT one inverse real
// transform and a product of L / 2 bins, about FFT_COST L log2 L of the
// same, measured on this code (the forward transform of the residuals is
// shared by every type).
constexpr double FFT_COST = 5.0;

bool head_by_fft(std::size_t head, std::size_t n)
{
    const auto L = static_cast<double>(fft_size(n));
    return static_cast<double>(n) * static_cast<double>(head) > FFT_COST * L * std::log2(L);
}

Eigen::FFT<double> make_fft()
{
    Eigen::FFT<double> fft;
    fft.SetFlag(Eigen::FFT<double>::HalfSpectrum);
    return fft;
}

// The head term by term: four times at once, each with its own sum in the
// order of j, the same sums as one at a time without waiting on one
// addition after another.
void head_directly(std::span<const double> e, std::span<const double> x, std::span<double> dot)
{
    const std::size_t n = e.size();
    const std::size_t len = x.size();
    std::size_t T = 0;
    for (; T + 4 <= n; T += 4) {
        const double* p = e.data() + T;
        std::size_t m[4];
        for (std::size_t i = 0; i < 4; ++i) {
            m[i] = std::min(n - T - i, len);
        }
        double a0 = 0.0;
        double a1 = 0.0;
        double a2 = 0.0;
        double a3 = 0.0;
        std::size_t j = 0;
        for (; j < m[3]; ++j) {
            const double xj = x[j];
            a0 += p[j] * xj;
            a1 += p[j + 1] * xj;
            a2 += p[j + 2] * xj;
            a3 += p[j + 3] * xj;
        }
        for (std::size_t i = j; i < m[2]; ++i) {
            a2 += p[i + 2] * x[i];
        }
        for (std::size_t i = j; i < m[1]; ++i) {
            a1 += p[i + 1] * x[i];
        }
        for (std::size_t i = j; i < m[0]; ++i) {
            a0 += p[i] * x[i];
        }
        dot[T] = a0;
        dot[T + 1] = a1;
        dot[T + 2] = a2;
        dot[T + 3] = a3;
    }
    for (; T < n; ++T) {
        const std::size_t m = std::min(n - T, len);
        double a = 0.0;
        for (std::size_t j = 0; j < m; ++j) {
            a += e[T + j] * x[j];
        }
        dot[T] = a;
    }
}

// dot[T] += the tail's part, for every T with T + H < n.
void add_tail(std::span<const double> e, const Regressor& r, std::vector<double>& running, std::span<double> dot)
{
    const std::size_t n = e.size();
    const std::size_t H = r.head.size();
    if (r.tail == Regressor::Tail::none || H >= n) {
        return;
    }
    running.assign(n + r.period + 1, 0.0);
    for (std::size_t t = n; t-- > H;) {
        switch (r.tail) {
        case Regressor::Tail::none:
            break;
        case Regressor::Tail::constant:
            running[t] = e[t] + running[t + 1];
            break;
        case Regressor::Tail::geometric:
            running[t] = r.ratio * (e[t] + running[t + 1]);
            break;
        case Regressor::Tail::periodic:
            running[t] = e[t] + running[t + r.period];
            break;
        }
    }
    if (r.tail == Regressor::Tail::periodic) {
        const std::size_t s = r.period;
        for (std::size_t T = 0; T + H < n; ++T) {
            double sum = 0.0;
            for (std::size_t i = 0; i < s && T + H + i < n; ++i) {
                sum += r.head[H - s + i] * running[T + H + i];
            }
            dot[T] += sum;
        }
        return;
    }
    const double last = r.head[H - 1];
    for (std::size_t T = 0; T + H < n; ++T) {
        dot[T] += last * running[T + H];
    }
}

}  // namespace

double correlation_work(const Regressor& regressor, std::size_t n)
{
    const auto count = static_cast<double>(n);
    const auto L = static_cast<double>(fft_size(n));
    const double head = regressor.spectrum.empty() ? count * static_cast<double>(regressor.head.size())
                                                   : FFT_COST * L * std::log2(L);
    const double tail = regressor.tail == Regressor::Tail::periodic ? count * static_cast<double>(regressor.period)
                                                                     : count;
    return head + tail;
}

void plan_correlation(Regressor& regressor, std::size_t n)
{
    regressor.spectrum.clear();
    if (!head_by_fft(regressor.head.size(), n)) {
        return;
    }
    std::vector<double> padded(fft_size(n), 0.0);
    std::copy(regressor.head.begin(), regressor.head.end(), padded.begin());
    Eigen::FFT<double> fft = make_fft();
    fft.fwd(regressor.spectrum, padded);
    for (std::complex<double>& bin : regressor.spectrum) {
        bin = std::conj(bin);
    }
}

void correlate(std::span<const double> e, std::span<const Regressor> regressors, std::span<std::vector<double>> dots)
{
    const std::size_t n = e.size();
    std::vector<std::complex<double>> residual_spectrum;
    std::vector<std::complex<double>> product;
    std::vector<double> padded;
    std::vector<double> running;
    Eigen::FFT<double> fft = make_fft();
    for (std::size_t r = 0; r < regressors.size(); ++r) {
        const Regressor& regressor = regressors[r];
        std::vector<double>& dot = dots[r];
        dot.resize(n);
        if (regressor.spectrum.empty()) {
            head_directly(e, regressor.head, dot);
        } else {
            if (residual_spectrum.empty()) {
                padded.assign(fft_size(n), 0.0);
                std::copy(e.begin(), e.end(), padded.begin());
                fft.fwd(residual_spectrum, padded);
            }
            product.resize(residual_spectrum.size());
            for (std::size_t f = 0; f < product.size(); ++f) {
                product[f] = residual_spectrum[f] * regressor.spectrum[f];
            }
            fft.inv(padded, product);
            std::copy_n(padded.begin(), n, dot.begin());
        }
        add_tail(e, regressor, running, dot);
    }
}

}  // namespace core::outlier_detail
