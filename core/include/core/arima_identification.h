// Automatic identification of a regression with seasonal ARIMA errors: the
// differencing from tests on the series, then the orders from a search that
// fits candidate models and keeps the one of least AICc.
//
//   D  (period s > 1): 1 when the seasonal strength of a classical additive
//      decomposition (Wang, Smith & Hyndman 2006) exceeds 0.64, else 0.
//   d  the number of differences of the (seasonally differenced) series
//      after which the KPSS test of level stationarity (Kwiatkowski,
//      Phillips, Schmidt & Shin 1992) no longer rejects at 5 %, at most 2.
//   p, q, P, Q and the constant: the stepwise search of Hyndman & Khandakar
//      (2008), or every model within bounds.
//
// With regressors the tests read the residuals of their least-squares fit
// (a constant among them), and every candidate fits them. Deterministic:
// the same series and options give the same model and the same bits.
#ifndef CORE_ARIMA_IDENTIFICATION_H
#define CORE_ARIMA_IDENTIFICATION_H

#include <cmath>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/arima.h"

namespace core {

// The KPSS test's level (its decision) and the seasonal strength above which
// the series is differenced seasonally.
inline constexpr double KPSS_LEVEL = 0.05;
inline constexpr double SEASONAL_STRENGTH_THRESHOLD = 0.64;

struct IdentificationOptions {
    // Differencing held rather than tested; unset: chosen as above.
    std::optional<int> d;  // 0..2
    std::optional<int> D;  // 0..1; 0 when the period is 1
    // The largest orders a candidate may have (0..5 each).
    int max_p = 5, max_q = 5;
    int max_P = 2, max_Q = 2;
    // Stepwise (the default), or every model within the bounds whose
    // p + q + P + Q is at most max_order.
    bool stepwise = true;
    int max_order = 5;  // 0..20; the exhaustive search's bound on p + q + P + Q
    // A mean (d + D = 0) or a drift (d + D = 1) is tried with and without;
    // false: never. Beyond d + D = 1 there is none.
    bool allow_constant = true;
    int max_models = 100;      // fits the search may run, 1..1000; it stops at the bound with the best so far
    int max_iterations = 100;  // of each fit's search
    // Asked between fits and within them; true stops with ArimaStopped.
    std::function<bool()> stop_requested;
};

// The KPSS test of level stationarity on the finite values of a series.
struct KpssTest {
    double statistic = 0;   // eta = sum S_t^2 / (T^2 s^2(l)); 0 for a constant series
    double p_value = 0.10;  // interpolated in the published table, so within 0.01..0.10
    int lags = 0;           // l = floor(4 (T / 100)^(1/4)), Bartlett weights
    std::size_t observations = 0;
    bool rejects = false;   // at KPSS_LEVEL: the series needs a difference
};

// Why a candidate has no AICc, or that it has one.
enum class CandidateOutcome {
    kept,             // fitted; its AICc counts
    refused,          // the fit refused the model (too few observations, a collinear regressor, ...)
    not_converged,    // the fit did not converge (or reproduced the series exactly)
    near_unit_root,   // a root of phi, theta, Phi or Theta within 1.001 of the unit circle
    exact_fit,        // reproduces the series (sigma^2 0, no AICc): chosen over every other
};

struct CandidateModel {
    ArimaOrder order;
    bool constant = false;  // a mean when d + D = 0, a drift when d + D = 1
    CandidateOutcome outcome = CandidateOutcome::kept;
    double aicc = NAN;      // NaN unless kept
    std::string reason;     // why not kept: the fit's message; empty when kept
};

// "kept", "refused", "not converged", "near unit root", "exact fit".
const char* candidate_outcome_name(CandidateOutcome outcome);

// The differencing and the evidence it was chosen on.
struct DifferencingChoice {
    int d = 0;
    int D = 0;
    // The seasonal strength, NaN where not measured (period 1, D given, or
    // fewer than two periods observed).
    double seasonal_strength = NAN;
    // kpss[i]: the test on the series differenced i times (after any seasonal
    // difference); empty when d was given.
    std::vector<KpssTest> kpss;
};

struct Identification {
    ArimaOrder order;  // the chosen model
    bool include_mean = false;
    bool include_drift = false;
    ArimaFit fit;      // its fit
    DifferencingChoice differencing;
    std::vector<CandidateModel> candidates;  // every model fitted, in the order tried, each once
    bool reached_model_bound = false;        // the search stopped at max_models
};

// The KPSS statistic with Bartlett weights and the lag truncation
// l = floor(4 (T / 100)^(1/4)); missing values are skipped (the observed
// values taken as one series).
KpssTest kpss_test(std::span<const double> x);

// 1 - Var(R) / Var(S + R) of the classical additive decomposition (trend a
// centred moving average over one period, S the seasonal means of the
// detrended series centred on 0, R what is left), at least 0; NaN when
// fewer than two periods of values are observed. Missing values leave out
// the trend values whose window holds them.
double seasonal_strength(std::span<const double> y, int period);

// The differencing of y (NaN: missing) under its period, as the header
// comment says. Throws ArimaInputError for bad options.
DifferencingChoice choose_differencing(std::span<const double> y, int period,
                                       std::span<const ArimaRegressor> regressors,
                                       const IdentificationOptions& options);

// The search over p, q, P, Q and the constant under the given differencing
// (which the result carries). Throws IdentificationFailed when no candidate
// is kept, ArimaStopped when stop_requested says so.
Identification search_orders(std::span<const double> y, int period, const DifferencingChoice& differencing,
                             std::span<const ArimaRegressor> regressors, const IdentificationOptions& options);

// The differencing, then the search.
Identification identify_arima(std::span<const double> y, int period, std::span<const ArimaRegressor> regressors,
                              const IdentificationOptions& options);

// Throws ArimaInputError for options out of range, whatever the series.
void check_identification_options(int period, const IdentificationOptions& options);

// No candidate could be fitted: the message names the first refusal.
class IdentificationFailed : public std::runtime_error {
public:
    explicit IdentificationFailed(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace core

#endif
