// The search over the orders p, q, P, Q and the constant of a model whose
// differencing is settled, by the least AICc (Hyndman & Khandakar 2008,
// section 3.2).
//
// Stepwise:
//   1. Fit ARIMA(2,d,2)(1,D,1), (0,d,0)(0,D,0), (1,d,0)(1,D,0) and
//      (0,d,1)(0,D,1) (orders clipped to the bounds, the seasonal ones 0
//      without a period), with a constant when d + D <= 1, and then
//      (0,d,0)(0,D,0) without one. The best is the current model.
//   2. Try the current model's neighbours in a fixed order: p, q, P or Q
//      one less or one more; p and q both one apart; P and Q both one
//      apart; the constant added or taken away. The first with a lower
//      AICc becomes the current model, and step 2 starts again; none: done.
// Exhaustive: every model within the bounds with p + q + P + Q <= max_order,
// with and without a constant.
//
// A model is fitted once. It is not kept when the fit refuses it, does not
// converge, or has a root of phi, theta, Phi or Theta (each a polynomial in
// its own lag, B or B^s) within 1.001 of the unit circle: such a model is
// at the edge of stationarity or invertibility, where its likelihood is
// flat and its forecasts unreliable. Of those kept the least AICc wins; on a
// tie the one tried first. A model that reproduces the series exactly (a
// constant series and a mean) has no AICc but wins outright, the one with
// the fewest coefficients among several.
#include <algorithm>
#include <cmath>
#include <compare>
#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <Eigen/Dense>

#include "core/arima_identification.h"
#include "core/numbers.h"

namespace core {

namespace {

// Every root of each polynomial must lie at least this far from the origin.
constexpr double ROOT_MARGIN = 1.001;

struct Model {
    int p = 0, q = 0, P = 0, Q = 0;
    bool constant = false;

    auto operator<=>(const Model&) const = default;
};

// The largest modulus of the reciprocal roots of 1 + c_1 z + ... + c_k z^k:
// the eigenvalues of its companion matrix.
double largest_reciprocal_root(std::span<const double> c)
{
    std::size_t k = c.size();
    while (k > 0 && c[k - 1] == 0.0) {
        --k;
    }
    if (k == 0) {
        return 0.0;
    }
    const auto K = static_cast<Eigen::Index>(k);
    Eigen::MatrixXd companion = Eigen::MatrixXd::Zero(K, K);
    for (Eigen::Index j = 0; j < K; ++j) {
        companion(0, j) = -c[static_cast<std::size_t>(j)];
    }
    for (Eigen::Index i = 1; i < K; ++i) {
        companion(i, i - 1) = 1.0;
    }
    const Eigen::VectorXcd roots = companion.eigenvalues();
    return roots.cwiseAbs().maxCoeff();
}

// Why the fitted ARMA polynomials make a model inadmissible, or nothing.
// The fit's coefficients begin ar1..arp, ma1..maq, sar1..sarP, sma1..smaQ;
// phi(B) = 1 - sum phi_j B^j and theta(B) = 1 + sum theta_j B^j.
std::optional<std::string> root_near_unit_circle(const ArimaFit& fit, const Model& m)
{
    const struct {
        const char* name;
        int count;
        double sign;  // of the coefficients in 1 + c_1 z + ...
    } parts[] = {{"ar", m.p, -1.0}, {"ma", m.q, 1.0}, {"sar", m.P, -1.0}, {"sma", m.Q, 1.0}};
    std::size_t first = 0;
    for (const auto& part : parts) {
        const auto count = static_cast<std::size_t>(part.count);
        std::vector<double> c(count);
        for (std::size_t j = 0; j < count; ++j) {
            c[j] = part.sign * fit.coefficients[first + j];
        }
        first += count;
        const double largest = largest_reciprocal_root(c);
        if (!(largest * ROOT_MARGIN < 1.0)) {
            return std::string("a root of the ") + part.name + " polynomial at modulus " +
                   format_shortest(1.0 / largest) + ", within " + format_shortest(ROOT_MARGIN) +
                   " of the unit circle";
        }
    }
    return std::nullopt;
}

class OrderSearch {
public:
    OrderSearch(std::span<const double> y, int period, const DifferencingChoice& differencing,
                std::span<const ArimaRegressor> regressors, const IdentificationOptions& options)
        : y_(y), period_(period), differencing_(differencing), regressors_(regressors), options_(options)
    {
        seasonal_ = period > 1;
        constant_allowed_ = options.allow_constant && differencing.d + differencing.D <= 1;
    }

    bool constant_allowed() const { return constant_allowed_; }
    bool seasonal() const { return seasonal_; }
    bool bound_reached() const { return bound_reached_; }
    const Model& best() const { return best_; }

    bool within_bounds(const Model& m) const
    {
        const int max_P = seasonal_ ? options_.max_P : 0;
        const int max_Q = seasonal_ ? options_.max_Q : 0;
        return m.p >= 0 && m.q >= 0 && m.P >= 0 && m.Q >= 0 && m.p <= options_.max_p && m.q <= options_.max_q &&
               m.P <= max_P && m.Q <= max_Q && (!m.constant || constant_allowed_);
    }

    // The model with its orders clipped to the bounds.
    Model clipped(Model m) const
    {
        m.p = std::min(m.p, options_.max_p);
        m.q = std::min(m.q, options_.max_q);
        m.P = seasonal_ ? std::min(m.P, options_.max_P) : 0;
        m.Q = seasonal_ ? std::min(m.Q, options_.max_Q) : 0;
        m.constant = m.constant && constant_allowed_;
        return m;
    }

    bool tried(const Model& m) const { return tried_.contains(m); }

    // Fits m unless it was tried before or the bound on fits is reached.
    void try_model(const Model& m)
    {
        if (tried(m)) {
            return;
        }
        if (fits_ >= options_.max_models) {
            bound_reached_ = true;
            return;
        }
        if (options_.stop_requested && options_.stop_requested()) {
            throw ArimaStopped();
        }
        ++fits_;
        tried_.insert(m);
        CandidateModel candidate;
        candidate.order = order_of(m);
        candidate.constant = m.constant;
        std::optional<ArimaFit> fit;
        try {
            fit = fit_arima(y_, candidate.order, regressors_, fit_options(m));
        } catch (const ArimaInputError& refusal) {
            candidate.outcome = CandidateOutcome::refused;
            candidate.reason = refusal.what();
        }
        if (fit) {
            if (exact_fit(*fit)) {
                candidate.outcome = CandidateOutcome::exact_fit;
                candidate.reason = fit->message;
                if (better(*fit, true)) {
                    best_ = m;
                    best_fit_ = std::move(fit);
                    best_exact_ = true;
                }
            } else if (!fit->converged) {
                candidate.outcome = CandidateOutcome::not_converged;
                candidate.reason = fit->message.empty() ? "not converged" : fit->message;
            } else if (std::optional<std::string> root = root_near_unit_circle(*fit, m)) {
                candidate.outcome = CandidateOutcome::near_unit_root;
                candidate.reason = std::move(*root);
            } else if (!std::isfinite(fit->aicc)) {
                candidate.outcome = CandidateOutcome::refused;
                candidate.reason = "no finite AICc: too few observations for the coefficients";
            } else {
                candidate.aicc = fit->aicc;
                if (better(*fit, false)) {
                    best_ = m;
                    best_fit_ = std::move(fit);
                    best_exact_ = false;
                }
            }
        }
        candidates_.push_back(std::move(candidate));
    }

    Identification result() &&
    {
        if (!best_fit_) {
            std::string first = "none was tried";
            if (!candidates_.empty()) {
                first = candidates_.front().reason;
            }
            throw IdentificationFailed("no candidate model could be fitted (" + std::to_string(candidates_.size()) +
                                       " tried); the first: " + first);
        }
        Identification identification;
        identification.order = order_of(best_);
        identification.include_mean = best_.constant && differencing_.d + differencing_.D == 0;
        identification.include_drift = best_.constant && differencing_.d + differencing_.D == 1;
        // The candidates' fits skipped what comparing them does not need
        // (the Hessian, the weights); the chosen model is fitted again in
        // full, the same search from the same start, so the same estimate.
        ArimaOptions full = fit_options(best_);
        full.covariance = true;
        full.weights.reset();
        full.rough = false;
        identification.fit = fit_arima(y_, order_of(best_), regressors_, full);
        identification.differencing = differencing_;
        identification.candidates = std::move(candidates_);
        identification.reached_model_bound = bound_reached_;
        return identification;
    }

private:
    // The regressors, a mean among them, reproduce the series: sigma^2 is 0
    // and the likelihood has no bound.
    static bool exact_fit(const ArimaFit& fit) { return !fit.converged && fit.sigma2 == 0.0; }

    // Whether a fit beats the best so far: an exact fit beats every other
    // (a constant series is its mean, whatever ARMA part comes with it), and
    // of two the one with fewer coefficients; otherwise the lower AICc.
    bool better(const ArimaFit& fit, bool exact) const
    {
        if (!best_fit_) {
            return true;
        }
        if (exact != best_exact_) {
            return exact;
        }
        if (exact) {
            return fit.coefficients.size() < best_fit_->coefficients.size();
        }
        return fit.aicc < best_fit_->aicc;
    }

    ArimaOrder order_of(const Model& m) const
    {
        return {m.p, differencing_.d, m.q, m.P, differencing_.D, m.Q, period_};
    }

    ArimaOptions fit_options(const Model& m) const
    {
        ArimaOptions options;
        const int differences = differencing_.d + differencing_.D;
        if (differences == 0) {
            options.include_mean = m.constant;
        }
        options.include_drift = differences == 1 && m.constant;
        options.max_iterations = options_.max_iterations;
        options.stop_requested = options_.stop_requested;
        options.covariance = false;
        options.weights = 0;
        options.rough = true;
        return options;
    }

    std::span<const double> y_;
    int period_;
    DifferencingChoice differencing_;
    std::span<const ArimaRegressor> regressors_;
    const IdentificationOptions& options_;
    bool seasonal_ = false;
    bool constant_allowed_ = false;
    std::set<Model> tried_;
    std::vector<CandidateModel> candidates_;
    Model best_;
    std::optional<ArimaFit> best_fit_;
    bool best_exact_ = false;
    int fits_ = 0;
    bool bound_reached_ = false;
};

// The current model's neighbours, in the order they are tried.
std::vector<Model> neighbours(const Model& m)
{
    std::vector<Model> next;
    auto add = [&](int dp, int dq, int dP, int dQ) { next.push_back({m.p + dp, m.q + dq, m.P + dP, m.Q + dQ, m.constant}); };
    for (const int step : {-1, 1}) {
        add(step, 0, 0, 0);
    }
    for (const int step : {-1, 1}) {
        add(0, step, 0, 0);
    }
    for (const int step : {-1, 1}) {
        add(0, 0, step, 0);
    }
    for (const int step : {-1, 1}) {
        add(0, 0, 0, step);
    }
    for (const auto& [a, b] : {std::pair{-1, -1}, std::pair{1, 1}, std::pair{-1, 1}, std::pair{1, -1}}) {
        add(a, b, 0, 0);
    }
    for (const auto& [a, b] : {std::pair{-1, -1}, std::pair{1, 1}, std::pair{-1, 1}, std::pair{1, -1}}) {
        add(0, 0, a, b);
    }
    next.push_back({m.p, m.q, m.P, m.Q, !m.constant});
    return next;
}

void stepwise(OrderSearch& search)
{
    const bool constant = search.constant_allowed();
    for (const Model& start : {Model{2, 2, 1, 1, constant}, Model{0, 0, 0, 0, constant}, Model{1, 0, 1, 0, constant},
                               Model{0, 1, 0, 1, constant}, Model{0, 0, 0, 0, false}}) {
        search.try_model(search.clipped(start));
    }
    bool moved = true;
    while (moved && !search.bound_reached()) {
        moved = false;
        const Model current = search.best();
        for (const Model& next : neighbours(current)) {
            if (!search.within_bounds(next) || search.tried(next)) {
                continue;
            }
            search.try_model(next);
            if (search.best() != current) {
                moved = true;
                break;
            }
        }
    }
}

void exhaustive(OrderSearch& search, const IdentificationOptions& options)
{
    for (int p = 0; p <= options.max_p; ++p) {
        for (int q = 0; q <= options.max_q; ++q) {
            for (int P = 0; P <= options.max_P; ++P) {
                for (int Q = 0; Q <= options.max_Q; ++Q) {
                    for (const bool constant : {true, false}) {
                        const Model m{p, q, P, Q, constant};
                        if (p + q + P + Q <= options.max_order && search.within_bounds(m)) {
                            search.try_model(m);
                        }
                    }
                }
            }
        }
    }
}

}  // namespace

const char* candidate_outcome_name(CandidateOutcome outcome)
{
    switch (outcome) {
    case CandidateOutcome::kept:
        return "kept";
    case CandidateOutcome::refused:
        return "refused";
    case CandidateOutcome::not_converged:
        return "not converged";
    case CandidateOutcome::near_unit_root:
        return "near unit root";
    case CandidateOutcome::exact_fit:
        return "exact fit";
    }
    return "?";
}

Identification search_orders(std::span<const double> y, int period, const DifferencingChoice& differencing,
                             std::span<const ArimaRegressor> regressors, const IdentificationOptions& options)
{
    check_identification_options(period, options);
    OrderSearch search(y, period, differencing, regressors, options);
    if (options.stepwise) {
        stepwise(search);
    } else {
        exhaustive(search, options);
    }
    return std::move(search).result();
}

}  // namespace core
