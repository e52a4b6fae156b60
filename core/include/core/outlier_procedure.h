// The whole outlier procedure on a regression with seasonal ARIMA errors:
// fit the model, locate outliers in its standardized residuals, refit with
// every outlier found as a regressor on the series' own scale, drop the
// weakest while its |t| is below the critical value, and repeat until
// nothing changes. Every rule and default of the procedure lives here; the
// front-ends pass the caller's choices through.
#ifndef CORE_OUTLIER_PROCEDURE_H
#define CORE_OUTLIER_PROCEDURE_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/arima.h"
#include "core/arima_identification.h"
#include "core/ljungcv.h"
#include "core/outliers.h"

namespace core {

// The defaults every front-end shows.
inline constexpr double DEFAULT_OUTLIER_ALPHA = 0.05;
inline constexpr OutlierTypes DEFAULT_OUTLIER_TYPES = {OutlierType::additive, OutlierType::level_shift,
                                                      OutlierType::temporary_change};
// Locate-and-refit rounds; each round only adds (time, type) pairs not tried before.
inline constexpr int DEFAULT_OUTLIER_ROUNDS = 10;
// At most this share of the tested observations become outliers: a series
// with more has a model or a threshold that does not fit it.
inline constexpr double MAX_OUTLIER_SHARE = 0.2;

// Resampling: the draws a calibrated critical value takes when the caller
// asks for calibration without a count, the fewest and most it takes, and
// the seed when the caller names none.
inline constexpr int DEFAULT_RESAMPLES = 1000;
inline constexpr int FEWEST_RESAMPLES = 100;
inline constexpr int MOST_RESAMPLES = 100000;
inline constexpr std::uint64_t DEFAULT_RESAMPLING_SEED = 20240601;

struct OutlierOptions {
    OutlierTypes types = DEFAULT_OUTLIER_TYPES;
    double delta = DEFAULT_DELTA;
    double alpha = DEFAULT_OUTLIER_ALPHA;
    std::optional<std::string> method;     // LJUNGCV's method text; unset: its default, the corrected method
    std::optional<double> critical_value;  // the caller's threshold instead of LJUNGCV's
    // The level of the drop step's critical value, LJUNGCV(m, retention_alpha,
    // method); unset: the locate stage's value.
    std::optional<double> retention_alpha;
    // Resampling: with resamples = B > 0 (and no critical value of the
    // caller's) the critical value is calibrated for the fitted model and
    // its residuals' tails instead of LJUNGCV's normal ones. A first pass
    // at LJUNGCV's value gives the residuals; Student's t law is fitted to
    // them, the outliers' times counted as censored (beyond the largest of
    // the rest); B series of t(nu) innovations (normal ones where nu runs
    // off to its bound) are drawn from `seed`, and the critical value is
    // the 1 - alpha quantile of the first locate round's largest |tau| on
    // them under the first fit's pi weights. 0: LJUNGCV's value; else
    // FEWEST_RESAMPLES..MOST_RESAMPLES, and at least 10 / alpha.
    int resamples = 0;
    std::uint64_t seed = DEFAULT_RESAMPLING_SEED;
    std::optional<bool> include_mean;      // as ArimaOptions
    bool include_drift = false;
    // The model identified from the series rather than given: the order
    // passed gives its period alone (its p, d, q, P, D, Q must be 0), and
    // include_mean and include_drift are chosen too (they must be left
    // unset and false). The model is identified on y, the procedure run,
    // the model identified again on the adjusted series, and the procedure
    // run once more under that model if it differs. The procedure's stop
    // hook is asked as well as these options' own.
    std::optional<IdentificationOptions> identify;
    int max_iterations = 100;  // of each fit's search
    int max_rounds = DEFAULT_OUTLIER_ROUNDS;
    // Asked before every evaluation of a fit's likelihood (milliseconds
    // apart even on long series); true stops the procedure with
    // OutlierStopped.
    std::function<bool()> stop_requested;
};

// The procedure stopped because the caller asked it to.
class OutlierStopped : public std::runtime_error {
public:
    OutlierStopped() : std::runtime_error("stopped on request") {}
};

// One outlier of the final model: its time (0-based), type, effect on the
// series' scale and the t statistic of that effect in the final fit.
struct FoundOutlier {
    std::size_t index = 0;
    OutlierType type = OutlierType::additive;
    double effect = 0;
    double t_statistic = 0;

    friend bool operator==(const FoundOutlier&, const FoundOutlier&) = default;
};

struct OutlierResult {
    std::vector<FoundOutlier> outliers;  // in time order
    double critical_value = 0;           // the threshold every outlier passed
    std::size_t tested = 0;              // the observations whose residual was tested
    ArimaFit fit;                        // the final fit; the outliers' regressors last, named "AO12", ...
    std::vector<double> adjusted;        // y without the outliers' effects; missing values stay NaN
    int rounds = 0;
    bool rounds_exhausted = false;       // the last round still found new outliers
    bool reached_bound = false;          // the final model holds MAX_OUTLIER_SHARE of the tested values, where the search stopped
    bool short_series = false;           // tested < SHORTEST_HOLDING_LEVEL: more outliers than alpha says
    // The final fit's residuals, the outliers' times aside, against the
    // normal law whose tails the critical value assumes: their excess
    // kurtosis, the one-sided p-value of tails that heavy, and whether it is
    // below HEAVY_TAILS_LEVEL with a critical value that assumed normal
    // tails (a calibrated one allowed for them: nothing to warn of). Not the
    // first fit's: a real outlier makes those heavy-tailed too, and the
    // warning is about the noise.
    double excess_kurtosis = 0;
    double kurtosis_p_value = 1;
    bool heavy_tails = false;
    // Whether the critical value was calibrated by resampling, and the
    // degrees of freedom of the t law its draws took: infinite where they
    // were normal, NaN without calibration.
    bool calibrated = false;
    double tail_dof = NAN;
    // With identify: the identification on y and the one on the first
    // run's adjusted series, in that order. The final fit's model is the
    // last one's.
    std::vector<Identification> identifications;
};

// The fewest tested residuals at which the procedure holds its level: on
// outlier-free series of white noise, AR(1), AR(2), IMA(1,1) and the
// airline model it reports an outlier in 0.050-0.070 of series at n = 30
// and alpha 0.05, in 0.090-0.180 at n = 10 and 20.
inline constexpr std::size_t SHORTEST_HOLDING_LEVEL = 30;

// The level of the kurtosis test below which a result warns that the
// critical value, which assumes normal residuals, cannot be trusted. The
// residuals it tests have had their largest values taken as outliers, which
// lightens their tails, so the test is made at 0.10: it then warns on
// 0.04-0.09 of outlier-free normal series of the study's models (n 30 to
// 500) and on 0.07-0.08 of normal AR(1) series with one real 6 sigma AO,
// and on 0.51 (n = 100) and 0.91 (n = 300) of AR(1) series with t(5)
// innovations.
inline constexpr double HEAVY_TAILS_LEVEL = 0.10;

// The name of an outlier's regressor in the fit: its type and its 1-based time, "LS36".
std::string outlier_regressor_name(const FoundOutlier& outlier);

// Runs the procedure on y (NaN: missing) under `order`, with the caller's
// regressors. The critical value is LJUNGCV(tested, alpha, method) from
// the module (which may be null when the options give a critical value),
// tested = the observations whose residual exists (n less the
// d + D s the differencing takes, less the missing ones), or the caller's.
// Throws ArimaInputError or OutlierInputError, whose messages name the
// argument and the rule, for bad input; NoCriticalValue where LJUNGCV has no
// value; IdentificationFailed when no model could be identified;
// OutlierStopped when stop_requested says so.
OutlierResult find_outliers(const LoadedModule* module, std::span<const double> y, const ArimaOrder& order,
                            std::span<const ArimaRegressor> regressors, const OutlierOptions& options);

// Throws what find_outliers throws for the order and the options whatever
// the series: a rule of the options or of the model broken, no module and
// no critical value, a level or a method the function rejects. Many series
// under one request share these.
void check_shared_outlier_input(const LoadedModule* module, const ArimaOrder& order, const OutlierOptions& options);

}  // namespace core

#endif
