// The fit of a regression with seasonal ARIMA errors, step by step:
//
//  1. The input rules (arima_checks.cpp).
//  2. The likelihood's data. A complete series and its regressors are
//     differenced, and the differenced disturbance is a stationary
//     ARMA(p + sP, q + sQ) whose exact likelihood the fast filter computes
//     (kalman_filter.cpp, filter_complete). With missing values the
//     differencing stays in the state with a diffuse start
//     (filter_diffuse), which gives the exact likelihood of the observed
//     values; the two agree on a complete series, where the diffuse one's
//     likelihood is that of the differenced series (Durbin & Koopman 2012,
//     section 5.7.2). Differencing a series with gaps instead would drop
//     every difference a gap touches and lose information.
//  3. The regression coefficients are profiled out by generalised least
//     squares: the filter's gains do not depend on the data, so each
//     regressor column is filtered beside the series in one pass and beta
//     solves the normal equations of the innovations (Harvey 1989, section
//     3.4.2). That is exact for each ARMA parameter value, costs one more
//     O(r) recursion per column instead of one more dimension of the
//     search, and sigma^2 is concentrated out the same way:
//       sigma^2 = S / N,  log L = -N/2 (log(2 pi sigma^2) + 1) - 1/2 sum log F_t,
//     S = sum (v_t - V_t beta)^2 / F_t over the N innovations that enter.
//  4. Start values by conditional sum of squares (start_values.cpp) on the
//     differenced series less its least-squares regression.
//  5. L-BFGS on the stationarity transform's unconstrained parameters
//     (stationary and invertible only), numerical gradients, a bounded
//     number of iterations.
//  6. The covariance from the central-difference Hessian of log L (sigma^2
//     concentrated) in the natural parameters, ARMA and regression.
//  7. Residuals, pi and psi weights, information criteria.
#include "engine/arima_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>

#include "arima_checks.h"
#include "initial_state.h"
#include "kalman_filter.h"
#include "polynomials.h"
#include "start_values.h"
#include "state_space.h"
#include "stationarity_transform.h"
#include "model_design.h"
#include "unconstrained_search.h"

namespace engine {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The filters hold P_t once its change is below this (P_t in units of
// sigma^2, so F_t >= 1): the likelihood moves by less than about n times it.
constexpr double kSteadyTolerance = 1e-13;
// The search stops when no component of the gradient of -log L / N
// exceeds this.
constexpr double kGradientTolerance = 1e-7;
constexpr double kRoughGradientTolerance = 1e-5;
constexpr int kStartIterations = 50;
// Hessian steps: ARMA coefficients are of order one; a regression
// coefficient moves by a hundredth of its least-squares standard error.
constexpr double kArmaHessianStep = 1e-4;
constexpr double kRegressionHessianStep = 1e-2;
// Residuals whose root mean square is within this many ulps of the largest
// value of the series are rounding alone: the fit is exact.
constexpr double kExactFitUlps = 1024.0;

struct Problem {
    ArimaOrder order;
    Polynomial diff;
    std::size_t n = 0;        // the series' length
    std::size_t lost = 0;     // deg diff: d + D s
    std::size_t columns = 0;  // the series, then each regression column
    bool complete = true;
    std::size_t rows = 0;      // the filter's time steps: n - lost when differenced, n otherwise
    std::vector<double> data;  // column-major rows x columns
    std::function<bool()> stop_requested;  // asked before every pass of the filter
};

struct Arma {
    Polynomial ar, ma;
};

Arma arma_from_natural(const ArimaOrder& o, std::span<const double> x)
{
    const auto part = [&](int offset, int length) {
        return x.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    };
    return {multiply(ar_operator(part(0, o.p), 1), ar_operator(part(o.p + o.q, o.P), o.period)),
            multiply(ma_operator(part(o.p, o.q), 1), ma_operator(part(o.p + o.q + o.P, o.Q), o.period))};
}

std::vector<double> natural_from_unconstrained(const ArimaOrder& o, std::span<const double> u)
{
    std::vector<double> x;
    const auto put = [&](int offset, int length, bool ma) {
        const auto part = u.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
        const auto c = ma ? ma_from_unconstrained(part) : ar_from_unconstrained(part);
        x.insert(x.end(), c.begin(), c.end());
    };
    put(0, o.p, false);
    put(o.p, o.q, true);
    put(o.p + o.q, o.P, false);
    put(o.p + o.q + o.P, o.Q, true);
    return x;
}

std::optional<FilterOutput> run_filter(const Problem& problem, std::span<const double> natural)
{
    if (problem.stop_requested && problem.stop_requested())
        throw FitStopped();
    const Arma arma = arma_from_natural(problem.order, natural);
    const ArmaStateSpace model = arma_state_space(arma.ar, arma.ma);
    if (problem.complete) {
        const auto column = stationary_first_column(model, arma.ar, arma.ma);
        if (!column)
            return std::nullopt;
        return filter_complete(model, *column, problem.data, problem.rows, problem.columns, kSteadyTolerance);
    }
    const auto P1 = stationary_covariance(model, arma.ar, arma.ma);
    if (!P1)
        return std::nullopt;
    return filter_diffuse(model, *P1, problem.diff, problem.data, problem.rows, problem.columns, kSteadyTolerance);
}

// S(beta) = sum (v_t - V_t beta)^2 / F_t.
double sum_of_squares(const Problem& problem, const FilterOutput& f, std::span<const double> beta)
{
    double S = 0.0;
    for (std::size_t t = 0; t < problem.rows; ++t) {
        if (std::isnan(f.F[t]))
            continue;
        double e = f.v[t];
        for (std::size_t j = 0; j < beta.size(); ++j)
            e -= beta[j] * f.v[(j + 1) * problem.rows + t];
        S += e * e / f.F[t];
    }
    return S;
}

double concentrated_loglik(const FilterOutput& f, double S)
{
    if (f.used == 0 || !std::isfinite(f.sum_log_F))
        return -std::numeric_limits<double>::infinity();  // no density at this point (see the filters)
    const auto N = static_cast<double>(f.used);
    return -0.5 * N * (std::log(2.0 * std::numbers::pi * S / N) + 1.0) - 0.5 * f.sum_log_F;
}

// beta from the normal equations sum V_t' V_t / F_t beta = sum V_t' v_t / F_t.
std::vector<double> gls_coefficients(const Problem& problem, const FilterOutput& f)
{
    const std::size_t k = problem.columns - 1;
    if (k == 0)
        return {};
    Eigen::MatrixXd A = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(k));
    Eigen::VectorXd b = Eigen::VectorXd::Zero(static_cast<Eigen::Index>(k));
    for (std::size_t t = 0; t < problem.rows; ++t) {
        if (std::isnan(f.F[t]))
            continue;
        for (std::size_t i = 0; i < k; ++i) {
            const double vi = f.v[(i + 1) * problem.rows + t] / f.F[t];
            b(static_cast<Eigen::Index>(i)) += vi * f.v[t];
            for (std::size_t j = 0; j <= i; ++j)
                A(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) += vi * f.v[(j + 1) * problem.rows + t];
        }
    }
    const Eigen::VectorXd beta = A.selfadjointView<Eigen::Lower>().ldlt().solve(b);
    return {beta.data(), beta.data() + beta.size()};
}

struct Profile {
    FilterOutput filter;
    std::vector<double> beta;
    double S = kNaN;
    double loglik = -std::numeric_limits<double>::infinity();
};

std::optional<Profile> profile(const Problem& problem, std::span<const double> natural)
{
    auto f = run_filter(problem, natural);
    if (!f)
        return std::nullopt;
    Profile p{std::move(*f), {}, kNaN, kNaN};
    p.beta = gls_coefficients(problem, p.filter);
    p.S = sum_of_squares(problem, p.filter, p.beta);
    p.loglik = concentrated_loglik(p.filter, p.S);
    return p;
}

Problem make_problem(std::span<const double> y, const ArimaOrder& order, const Design& design)
{
    Problem problem;
    problem.order = order;
    problem.diff = differencing_operator(order.d, order.D, order.period);
    problem.n = y.size();
    problem.lost = problem.diff.size() - 1;
    problem.columns = 1 + design.columns.size();
    problem.complete = std::none_of(y.begin(), y.end(), [](double v) { return std::isnan(v); });
    const auto add = [&](std::span<const double> column) {
        if (problem.complete) {
            const auto w = apply_operator(problem.diff, column);
            problem.data.insert(problem.data.end(), w.begin(), w.end());
        } else {
            problem.data.insert(problem.data.end(), column.begin(), column.end());
        }
    };
    add(y);
    for (const auto& column : design.columns)
        add(column);
    problem.rows = problem.complete ? problem.n - problem.lost : problem.n;
    return problem;
}

// The differenced series less its least-squares regression, complete: the
// conditional sum of squares' data. Missing values are bridged by straight
// lines first (only the start values see them).
std::vector<double> start_series(std::span<const double> y, const Problem& problem, const Design& design)
{
    std::vector<double> filled(y.begin(), y.end());
    std::size_t last = problem.n;  // the previous observed index
    for (std::size_t t = 0; t < problem.n; ++t) {
        if (std::isnan(y[t]))
            continue;
        if (last == problem.n) {
            for (std::size_t i = 0; i < t; ++i)
                filled[i] = y[t];
        } else {
            for (std::size_t i = last + 1; i < t; ++i)
                filled[i] = y[last] + (y[t] - y[last]) * static_cast<double>(i - last) / static_cast<double>(t - last);
        }
        last = t;
    }
    for (std::size_t i = last + 1; i < problem.n; ++i)
        filled[i] = y[last];
    std::vector<double> w = apply_operator(problem.diff, filled);
    if (design.columns.empty())
        return w;
    const auto rows = static_cast<Eigen::Index>(w.size());
    Eigen::MatrixXd X(rows, static_cast<Eigen::Index>(design.columns.size()));
    for (std::size_t j = 0; j < design.columns.size(); ++j) {
        const auto x = apply_operator(problem.diff, design.columns[j]);
        X.col(static_cast<Eigen::Index>(j)) = Eigen::Map<const Eigen::VectorXd>(x.data(), rows);
    }
    const Eigen::Map<Eigen::VectorXd> target(w.data(), rows);
    const Eigen::VectorXd beta = X.colPivHouseholderQr().solve(target);
    Eigen::VectorXd rest = target - X * beta;
    return {rest.data(), rest.data() + rest.size()};
}

// Central differences of log L(theta, beta) (sigma^2 concentrated): the
// ARMA part refilters at each step, the regression part reuses a filter.
Eigen::MatrixXd loglik_hessian(const Problem& problem, const std::vector<double>& natural, const Profile& centre,
                               const std::vector<double>& beta_steps, int& evaluations)
{
    const std::size_t a = natural.size(), b = centre.beta.size(), k = a + b;
    Eigen::MatrixXd H(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(k));
    const auto filter_at = [&](std::size_t i, double si, std::size_t j, double sj) -> std::optional<FilterOutput> {
        std::vector<double> x = natural;
        if (i < a)
            x[i] += si * kArmaHessianStep;
        if (j < a)
            x[j] += sj * kArmaHessianStep;
        ++evaluations;
        return run_filter(problem, x);
    };
    const auto value = [&](const std::optional<FilterOutput>& f, std::size_t i, double si, std::size_t j, double sj) {
        if (!f)
            return kNaN;
        std::vector<double> beta = centre.beta;
        if (i >= a && i < k)
            beta[i - a] += si * beta_steps[i - a];
        if (j >= a && j < k)
            beta[j - a] += sj * beta_steps[j - a];
        return concentrated_loglik(*f, sum_of_squares(problem, *f, beta));
    };
    const auto step = [&](std::size_t i) { return i < a ? kArmaHessianStep : beta_steps[i - a]; };
    const std::optional<FilterOutput> f0 = centre.filter;
    const double l0 = centre.loglik;
    std::vector<std::optional<FilterOutput>> up(a), down(a);
    for (std::size_t i = 0; i < a; ++i) {
        up[i] = filter_at(i, 1, k, 0);
        down[i] = filter_at(i, -1, k, 0);
    }
    const auto filtered = [&](std::size_t i, double s) -> const std::optional<FilterOutput>& {
        if (i >= a)
            return f0;
        return s > 0 ? up[i] : down[i];
    };
    for (std::size_t i = 0; i < k; ++i) {
        const double hi = step(i);
        H(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(i)) =
            (value(filtered(i, 1), i, 1, k, 0) - 2.0 * l0 + value(filtered(i, -1), i, -1, k, 0)) / (hi * hi);
        for (std::size_t j = 0; j < i; ++j) {
            double sum = 0.0;
            for (const double si : {1.0, -1.0}) {
                for (const double sj : {1.0, -1.0}) {
                    double l = 0.0;
                    if (i < a && j < a)
                        l = value(filter_at(i, si, j, sj), k, 0, k, 0);
                    else
                        l = value(j < a ? filtered(j, sj) : filtered(i, si), i, si, j, sj);
                    sum += si * sj * l;
                }
            }
            const double hij = sum / (4.0 * hi * step(j));
            H(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = hij;
            H(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(i)) = hij;
        }
    }
    return H;
}

// The inverse of a square matrix by LU with partial pivoting (what
// MatrixXd::inverse does, to the bit), or NaN throughout when a pivot is 0:
// a singular matrix has no inverse, and the solve would divide by 0.
Eigen::MatrixXd inverse_or_nan(const Eigen::MatrixXd& m)
{
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(m);
    const Eigen::VectorXd pivots = lu.matrixLU().diagonal();
    for (Eigen::Index i = 0; i < pivots.size(); ++i)
        if (pivots(i) == 0.0 || !std::isfinite(pivots(i)))
            return Eigen::MatrixXd::Constant(m.rows(), m.cols(), kNaN);
    return lu.inverse();
}

// The covariance of beta with the ARMA part known, sigma^2 (V' F^-1 V)^-1,
// from the filtered columns.
Eigen::MatrixXd gls_covariance(const Problem& problem, const Profile& p)
{
    const std::size_t k = problem.columns - 1;
    Eigen::MatrixXd A = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(k));
    for (std::size_t t = 0; t < problem.rows; ++t) {
        if (std::isnan(p.filter.F[t]))
            continue;
        for (std::size_t i = 0; i < k; ++i)
            for (std::size_t j = 0; j < k; ++j)
                A(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) +=
                    p.filter.v[(i + 1) * problem.rows + t] * p.filter.v[(j + 1) * problem.rows + t] / p.filter.F[t];
    }
    const double sigma2 = p.S / static_cast<double>(p.filter.used);
    return sigma2 * inverse_or_nan(A);
}

// Least-squares standard errors of beta at the estimate: the scale of the
// Hessian's regression steps.
std::vector<double> regression_scales(const Problem& problem, const Profile& p)
{
    const std::size_t k = problem.columns - 1;
    std::vector<double> scales(k, 1.0);
    if (k == 0)
        return scales;
    const Eigen::MatrixXd covariance = gls_covariance(problem, p);
    for (std::size_t i = 0; i < k; ++i) {
        const double se = std::sqrt(covariance(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(i)));
        if (std::isfinite(se) && se > 0.0)
            scales[i] = se;
    }
    return scales;
}

// The standardized residuals of the fit at `natural`, and its weights.
void fill_residuals_and_weights(FitResult& result, std::size_t n, const Problem& problem, const Profile& best,
                                const ArimaOrder& order, std::span<const double> natural, const FitOptions& options)
{
    result.residuals.assign(n, kNaN);
    const std::size_t offset = problem.complete ? problem.lost : 0;
    for (std::size_t row = 0; row < problem.rows; ++row) {
        const double F = best.filter.F[row];
        if (std::isnan(F) || row + offset < problem.lost)
            continue;
        double e = best.filter.v[row];
        for (std::size_t j = 0; j < best.beta.size(); ++j)
            e -= best.beta[j] * best.filter.v[(j + 1) * problem.rows + row];
        result.residuals[row + offset] = e / std::sqrt(F);
    }

    const Arma arma = arma_from_natural(order, natural);
    result.pi_weights = pi_weights(arma.ar, problem.diff, arma.ma, options.pi_weights);
    result.psi_weights = psi_weights(arma.ar, problem.diff, arma.ma, options.pi_weights);
}

// The regression alone, the ARMA part held at `natural`.
FitResult fit_regression(std::size_t n, const Problem& problem, const ArimaOrder& order,
                         const std::vector<double>& natural, FitResult result, const FitOptions& options)
{
    const std::size_t a = natural.size();
    const std::size_t k = result.names.size();
    result.evaluations = 1;
    result.iterations = 0;
    result.converged = true;
    const auto best = profile(problem, natural);
    result.coefficients = natural;
    result.standard_errors.assign(k, kNaN);
    result.covariance.assign(k * k, kNaN);
    if (!best || !std::isfinite(best->loglik) || !std::isfinite(best->S) || best->S <= 0.0) {
        result.coefficients.resize(k, kNaN);
        result.sigma2 = result.loglik = result.aic = result.aicc = result.bic = kNaN;
        result.residuals.assign(n, kNaN);
        result.converged = false;
        result.message = "no estimate: the likelihood at the ARMA coefficients held is not finite";
        return result;
    }
    result.coefficients.insert(result.coefficients.end(), best->beta.begin(), best->beta.end());
    result.nobs = best->filter.used;
    const auto N = static_cast<double>(result.nobs);
    result.sigma2 = best->S / N;
    result.loglik = best->loglik;
    const double parameters = static_cast<double>(k + 1);
    result.aic = -2.0 * result.loglik + 2.0 * parameters;
    result.aicc =
        N - parameters - 1.0 > 0.0 ? result.aic + 2.0 * parameters * (parameters + 1.0) / (N - parameters - 1.0) : kNaN;
    result.bic = -2.0 * result.loglik + std::log(N) * parameters;
    if (k > a) {
        const Eigen::MatrixXd covariance = gls_covariance(problem, *best);
        for (std::size_t i = a; i < k; ++i) {
            for (std::size_t j = a; j < k; ++j)
                result.covariance[i * k + j] =
                    covariance(static_cast<Eigen::Index>(i - a), static_cast<Eigen::Index>(j - a));
            const double v = result.covariance[i * k + i];
            result.standard_errors[i] = v > 0.0 ? std::sqrt(v) : kNaN;
        }
    }
    fill_residuals_and_weights(result, n, problem, *best, order, natural, options);
    return result;
}

}  // namespace

FitResult fit_arima(std::span<const double> y, const ArimaOrder& order, std::span<const Regressor> regressors,
                    const FitOptions& options)
{
    check_fit_input(y, order, regressors, options);
    const Design design = make_design(y.size(), order, regressors, options);
    Problem problem = make_problem(y, order, design);
    problem.stop_requested = options.stop_requested;

    FitResult result;
    result.names = design.arma_names;
    result.names.insert(result.names.end(), design.regression_names.begin(), design.regression_names.end());
    const std::size_t a = design.arma_names.size();
    const std::size_t k = result.names.size();

    if (options.fixed_arma)
        return fit_regression(y.size(), problem, order, *options.fixed_arma, std::move(result), options);

    // Start values, then the search on -log L / N.
    const StartValues start = css_start_values(start_series(y, problem, design), order, kStartIterations);
    result.evaluations = start.evaluations;
    const auto objective = [&](const std::vector<double>& u) {
        const auto p = profile(problem, natural_from_unconstrained(order, u));
        if (!p || !std::isfinite(p->loglik))
            return std::numeric_limits<double>::infinity();
        return -p->loglik / static_cast<double>(p->filter.used);
    };
    std::vector<double> u0 = start.unconstrained;
    ++result.evaluations;
    if (!std::isfinite(objective(u0)))
        u0.assign(a, 0.0);

    // A sum of squares at the rounding level of the series' values is an
    // exact fit (a constant series, or one the regressors reproduce): its
    // likelihood grows without bound, so there is no estimate, and the
    // search, on an objective flat up to rounding, is not run.
    double largest = 0.0;
    for (const double v : y)
        if (!std::isnan(v))
            largest = std::max(largest, std::fabs(v));
    const double rounding = kExactFitUlps * std::numeric_limits<double>::epsilon() * largest;
    const auto exact_fit = [&](const auto& p) {
        return p && std::isfinite(p->S) && p->S <= static_cast<double>(p->filter.used) * rounding * rounding;
    };
    ++result.evaluations;
    SearchResult search;
    if (exact_fit(profile(problem, natural_from_unconstrained(order, u0))))
        search.x = u0;
    else
        search = options.rough ? minimize(objective, u0, options.max_iterations, kRoughGradientTolerance,
                                          Differences::forward)
                               : minimize(objective, u0, options.max_iterations, kGradientTolerance);
    result.evaluations += search.evaluations;
    result.iterations = search.iterations;
    result.converged = search.converged;
    result.message = search.message;

    const std::vector<double> natural = natural_from_unconstrained(order, search.x);
    ++result.evaluations;
    const auto best = profile(problem, natural);
    const bool exact = exact_fit(best);
    if (exact) {
        // The regressors (a mean among them) reproduce the series: their
        // coefficients are exact, with no error, and every ARMA part fits
        // as well as the one the search stopped at, which is kept so that
        // the weights exist. sigma^2 is 0; the likelihood has no maximum.
        result.coefficients = natural;
        result.coefficients.insert(result.coefficients.end(), best->beta.begin(), best->beta.end());
        result.standard_errors.assign(a, kNaN);
        result.standard_errors.resize(k, 0.0);
        result.covariance.assign(k * k, kNaN);
        result.nobs = best->filter.used;
        result.sigma2 = 0.0;
        result.loglik = result.aic = result.aicc = result.bic = kNaN;
        result.converged = false;
        result.message = "exact fit: the sum of squares is 0 (a constant series, or one the regressors reproduce), "
                         "so the likelihood has no maximum";
        fill_residuals_and_weights(result, y.size(), problem, *best, order, natural, options);
        return result;
    }
    if (!best || !std::isfinite(best->loglik) || !std::isfinite(best->S)) {
        // The series' squares overflow (or the model is degenerate): no estimate.
        result.coefficients.assign(k, kNaN);
        result.standard_errors.assign(k, kNaN);
        result.covariance.assign(k * k, kNaN);
        result.sigma2 = result.loglik = result.aic = result.aicc = result.bic = kNaN;
        result.residuals.assign(y.size(), kNaN);
        result.converged = false;
        if (best && best->S == 0.0)
            result.message = "exact fit: the sum of squares is 0 (a constant series, or one the regressors "
                             "reproduce), so the likelihood has no maximum";
        else
            result.message = "overflow: the likelihood is not finite (sum of squares " +
                             std::to_string(best ? best->S : kNaN) + "); the series' values are too large to square";
        return result;
    }

    result.coefficients = natural;
    result.coefficients.insert(result.coefficients.end(), best->beta.begin(), best->beta.end());
    result.nobs = best->filter.used;
    const auto N = static_cast<double>(result.nobs);
    result.sigma2 = best->S / N;
    result.loglik = best->loglik;
    const double parameters = static_cast<double>(k + 1);  // sigma^2 too
    result.aic = -2.0 * result.loglik + 2.0 * parameters;
    result.aicc =
        N - parameters - 1.0 > 0.0 ? result.aic + 2.0 * parameters * (parameters + 1.0) / (N - parameters - 1.0) : kNaN;
    result.bic = -2.0 * result.loglik + std::log(N) * parameters;

    if (options.covariance) {
        std::vector<double> beta_steps = regression_scales(problem, *best);
        for (double& h : beta_steps)
            h *= kRegressionHessianStep;
        const Eigen::MatrixXd H = loglik_hessian(problem, natural, *best, beta_steps, result.evaluations);
        const Eigen::MatrixXd covariance = inverse_or_nan(-H);
        result.covariance.assign(covariance.data(), covariance.data() + covariance.size());
        for (std::size_t i = 0; i < k; ++i) {
            const double v = covariance(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(i));
            result.standard_errors.push_back(v > 0.0 ? std::sqrt(v) : kNaN);
        }
    } else {
        result.covariance.assign(k * k, kNaN);
        result.standard_errors.assign(k, kNaN);
    }

    fill_residuals_and_weights(result, y.size(), problem, *best, order, natural, options);
    return result;
}

}  // namespace engine
