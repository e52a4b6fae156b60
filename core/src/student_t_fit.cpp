// The fit, as its steps read. With centre 0, the log-likelihood of
// residuals e_1..e_m under t(nu) with scale s is
//
//   l(nu, s) = m [ln G((nu+1)/2) - ln G(nu/2) - ln(nu pi)/2 - ln s]
//              - (nu+1)/2 sum_i ln(1 + e_i^2 / (nu s^2)).
//
// For a fixed nu the s that maximises it solves s^2 = sum_i w_i e_i^2 / m,
// w_i = (nu + 1) / (nu + e_i^2 / s^2); iterating that equation from s^2 =
// sum e_i^2 / m raises l at every step (it is the EM algorithm of Liu and
// Rubin 1995 with the centre held), so it converges. l at that s is the
// profile likelihood of nu, maximised over ln nu: its values on a grid
// from HEAVIEST_DOF to LIGHTEST_DOF locate the maximum, and a golden-section
// search between the grid points beside the largest refines it.
//
// A censored residual, known only as |e| > u, adds ln P(|T| > u / s) to l
// (T of the t law with nu degrees of freedom). With censored residuals the
// EM value of s for the exact ones starts a golden-section search over
// ln s for the maximum of l at that nu.
//
// P(|T| > x) = I_z(nu/2, 1/2), z = nu / (nu + x^2), the regularized
// incomplete beta function, by its continued fraction (Abramowitz and
// Stegun 26.5.8)
//
//   I_z(a, b) = z^a (1-z)^b / (a B(a, b)) / (1 + d_1 / (1 + d_2 / (1 + ...))),
//   d_{2m+1} = -(a+m)(a+b+m) z / ((a+2m)(a+2m+1)),
//   d_{2m}   = m (b-m) z / ((a+2m-1)(a+2m)),
//
// evaluated by the modified Lentz method (Thompson and Barnett 1986); it
// converges fast for z < (a+1)/(a+b+2), and I_z(a, b) = 1 - I_{1-z}(b, a)
// gives the rest.
#include "student_t_fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <numeric>
#include <vector>

namespace core::calibration {

namespace {

// The grid's points, the golden search's tolerance in ln nu, and the EM
// iterations' bound and tolerance (relative, in s^2).
constexpr int GRID_POINTS = 25;
constexpr double LOG_DOF_TOLERANCE = 1e-5;
constexpr int MAX_SCALE_STEPS = 500;
constexpr double SCALE_TOLERANCE = 1e-12;
// How far from the exact residuals' EM value, in ln s, the censored
// likelihood's scale is looked for: censored residuals only widen s.
constexpr double LOG_SCALE_BELOW = 0.5;
constexpr double LOG_SCALE_ABOVE = 2.0;
// The continued fraction's terms and tolerance.
constexpr int MAX_FRACTION_TERMS = 1000;
constexpr double FRACTION_TOLERANCE = 1e-15;

const double GOLDEN = (std::sqrt(5.0) - 1.0) / 2.0;

// The x in [a, b] where f, taken to have one maximum there, is largest,
// to within `tolerance`, by golden-section search.
template <class F>
double golden_maximum(F f, double a, double b, double tolerance)
{
    double c = b - GOLDEN * (b - a);
    double d = a + GOLDEN * (b - a);
    double fc = f(c);
    double fd = f(d);
    while (b - a > tolerance) {
        if (fc >= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - GOLDEN * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + GOLDEN * (b - a);
            fd = f(d);
        }
    }
    return (a + b) / 2.0;
}

double incomplete_beta_fraction(double z, double a, double b)
{
    constexpr double tiny = 1e-300;
    // Lentz's C and D carry from one term to the next.
    double h = 1.0;
    double C = 1.0;  // cppcheck-suppress variableScope
    double D = 0.0;  // cppcheck-suppress variableScope
    for (int j = 1; j <= MAX_FRACTION_TERMS; ++j) {
        const int half = j / 2;  // m of the term d_j, j = 2m or 2m + 1
        const double m = half;
        const double d = j % 2 == 1 ? -(a + m) * (a + b + m) * z / ((a + 2.0 * m) * (a + 2.0 * m + 1.0))
                                    : m * (b - m) * z / ((a + 2.0 * m - 1.0) * (a + 2.0 * m));
        D = 1.0 + d * D;
        D = std::fabs(D) < tiny ? tiny : D;
        C = 1.0 + d / C;
        C = std::fabs(C) < tiny ? tiny : C;
        D = 1.0 / D;
        h *= C * D;
        if (std::fabs(C * D - 1.0) < FRACTION_TOLERANCE) {
            break;
        }
    }
    const double front =
        std::exp(a * std::log(z) + b * std::log1p(-z) - (log_gamma(a) + log_gamma(b) - log_gamma(a + b)));
    return front / (a * h);
}

double regularized_incomplete_beta(double z, double a, double b)
{
    if (z <= 0.0) {
        return 0.0;
    }
    if (z >= 1.0) {
        return 1.0;
    }
    if (z < (a + 1.0) / (a + b + 2.0)) {
        return incomplete_beta_fraction(z, a, b);
    }
    return 1.0 - incomplete_beta_fraction(1.0 - z, b, a);
}

// The exact residuals' squares and the censored ones' count and threshold.
struct Sample {
    std::vector<double> squares;
    std::size_t beyond = 0;
    double threshold = 0;
};

struct Profile {
    double loglik;
    double scale;
};

double loglik(const Sample& x, double nu, double s2)
{
    const double m = static_cast<double>(x.squares.size());
    double tail = 0.0;
    for (const double e2 : x.squares) {
        tail += std::log1p(e2 / (nu * s2));
    }
    const double constant =
        log_gamma((nu + 1.0) / 2.0) - log_gamma(nu / 2.0) - 0.5 * std::log(nu * std::numbers::pi) - 0.5 * std::log(s2);
    double l = m * constant - (nu + 1.0) / 2.0 * tail;
    if (x.beyond > 0) {
        l += static_cast<double>(x.beyond) * std::log(student_t_two_tails(x.threshold / std::sqrt(s2), nu));
    }
    return l;
}

Profile profile(const Sample& x, double nu)
{
    const std::vector<double>& squares = x.squares;
    const double m = static_cast<double>(squares.size());
    double s2 = std::accumulate(squares.begin(), squares.end(), 0.0) / m;
    for (int step = 0; step < MAX_SCALE_STEPS; ++step) {
        double sum = 0.0;
        for (const double e2 : squares) {
            sum += (nu + 1.0) / (nu + e2 / s2) * e2;
        }
        const double next = sum / m;
        const bool settled = std::fabs(next - s2) <= SCALE_TOLERANCE * s2;
        s2 = next;
        if (settled) {
            break;
        }
    }
    if (x.beyond > 0) {
        const double centre = 0.5 * std::log(s2);
        const double log_s = golden_maximum([&](double v) { return loglik(x, nu, std::exp(2.0 * v)); },
                                            centre - LOG_SCALE_BELOW, centre + LOG_SCALE_ABOVE, LOG_DOF_TOLERANCE);
        s2 = std::exp(2.0 * log_s);
    }
    return {loglik(x, nu, s2), std::sqrt(s2)};
}

}  // namespace

double log_gamma(double x)
{
    // ln G(x) = ln G(x + k) - ln(x (x+1) ... (x+k-1)).
    double product = 1.0;
    while (x < 10.0) {
        product *= x;
        x += 1.0;
    }
    const double r = 1.0 / x;
    const double r2 = r * r;
    const double series =
        r * (1.0 / 12.0 - r2 * (1.0 / 360.0 - r2 * (1.0 / 1260.0 - r2 * (1.0 / 1680.0 - r2 / 1188.0))));
    return (x - 0.5) * std::log(x) - x + 0.5 * std::log(2.0 * std::numbers::pi) + series - std::log(product);
}

double student_t_two_tails(double x, double nu)
{
    return regularized_incomplete_beta(nu / (nu + x * x), nu / 2.0, 0.5);
}

StudentTFit fit_student_t(std::span<const double> residuals, std::size_t beyond, double threshold)
{
    Sample sample{{}, beyond, threshold};
    std::vector<double>& squares = sample.squares;
    for (const double e : residuals) {
        if (std::isfinite(e)) {
            squares.push_back(e * e);
        }
    }
    std::size_t nonzero = 0;
    for (const double e2 : squares) {
        nonzero += e2 > 0.0 ? 1 : 0;
    }
    if (nonzero < 3) {
        return {INFINITY, 0.0};
    }

    const double low = std::log(HEAVIEST_DOF);
    const double high = std::log(LIGHTEST_DOF);
    const double step = (high - low) / (GRID_POINTS - 1);
    int best = 0;
    double best_loglik = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < GRID_POINTS; ++i) {
        const double l = profile(sample, std::exp(low + step * i)).loglik;
        if (l > best_loglik) {
            best_loglik = l;
            best = i;
        }
    }
    const double log_dof =
        golden_maximum([&](double v) { return profile(sample, std::exp(v)).loglik; },
                       low + step * (best > 0 ? best - 1 : 0),
                       low + step * (best < GRID_POINTS - 1 ? best + 1 : GRID_POINTS - 1), LOG_DOF_TOLERANCE);
    const Profile normal = profile(sample, LIGHTEST_DOF);
    if (log_dof >= high - 2.0 * LOG_DOF_TOLERANCE) {
        return {INFINITY, normal.scale, 0.0};
    }
    const double dof = std::exp(log_dof);
    const Profile fitted = profile(sample, dof);
    return {dof, fitted.scale, std::max(0.0, 2.0 * (fitted.loglik - normal.loglik))};
}

}  // namespace core::calibration
