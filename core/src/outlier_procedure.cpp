// The outlier procedure: rounds of locate and refit on the one estimator.
//
//   1. Fit the model (with the caller's regressors, none for outliers).
//   2. Locate: the statistics on the fit's standardized residuals and pi
//      weights, at the times whose residual exists; take the largest while
//      it exceeds the critical value.
//   3. Refit with every outlier kept so far and the new ones as regressors
//      on the series' scale (AO a pulse, LS a step, TC delta^j, SLS a
//      step in one season, IO the model's psi weights); while the weakest has |t| below the critical
//      value, drop it and refit.
//   4. Repeat from 2 on the new fit's residuals until a round adds nothing,
//      for at most max_rounds rounds. A (time, type) once tried is not
//      taken again, so the rounds cannot cycle.
// With the model identified: identify on y, run 1-4, identify again on the
// adjusted series (the outliers no longer pull the differencing and the
// orders), and run 1-4 again under the second model if it differs.
#include "core/outlier_procedure.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "calibrated_critical_value.h"
#include "core/numbers.h"
#include "kurtosis_test.h"

namespace core {

namespace {

// The fewest residuals the locate stage is run on.
constexpr std::size_t MIN_TESTED = 5;

void check_resampling(const OutlierOptions& options)
{
    const int B = options.resamples;
    if (B == 0) {
        return;
    }
    if (B < FEWEST_RESAMPLES || B > MOST_RESAMPLES) {
        throw OutlierInputError("resamples: must be 0 (LJUNGCV's critical value) or from " +
                                std::to_string(FEWEST_RESAMPLES) + " to " + std::to_string(MOST_RESAMPLES) + ", got " +
                                std::to_string(B));
    }
    if (options.critical_value) {
        throw OutlierInputError("resamples: calibrates the critical value, and critical_value gives one; "
                                "ask for one or the other");
    }
    // A quantile read from fewer than 10 draws beyond it moves too much from seed to seed.
    for (const double level : {options.alpha, options.retention_alpha.value_or(options.alpha)}) {
        if (!(level * B >= 10.0)) {
            throw OutlierInputError("resamples: " + std::to_string(B) + " draws cannot calibrate the level " +
                                    format_shortest(level) + "; it takes at least 10 / level draws");
        }
    }
}

void check_options(const OutlierOptions& options, const ArimaOrder& order)
{
    if (options.types.empty()) {
        throw OutlierInputError("types: no outlier type to look for");
    }
    if (options.types.contains(OutlierType::temporary_change) && !(options.delta > 0.0 && options.delta < 1.0)) {
        throw OutlierInputError("delta: the temporary change's decay must lie strictly between 0 and 1, got " +
                                format_shortest(options.delta));
    }
    if (options.types.contains(OutlierType::seasonal_level_shift) && order.period < 2) {
        throw OutlierInputError("types: a seasonal level shift (SLS) needs a seasonal model, a period of at least 2");
    }
    if (options.critical_value && !(std::isfinite(*options.critical_value) && *options.critical_value > 0.0)) {
        throw OutlierInputError("critical_value: must be finite and positive, got " +
                                format_shortest(*options.critical_value));
    }
    if (options.max_rounds < 1 || options.max_rounds > 100) {
        throw OutlierInputError("max_rounds: must be from 1 to 100, got " + std::to_string(options.max_rounds));
    }
    check_resampling(options);
    if (options.identify) {
        if (order.p != 0 || order.d != 0 || order.q != 0 || order.P != 0 || order.D != 0 || order.Q != 0) {
            throw OutlierInputError("order: the model is identified from the series (identify is set); "
                                    "give its period alone, every order 0");
        }
        if (options.include_mean || options.include_drift) {
            throw OutlierInputError("include_mean: the identification chooses the mean and the drift "
                                    "(identify is set); leave them unset");
        }
        check_identification_options(order.period, *options.identify);
    }
}

// An outlier's path on the series, x_t for t = 0..n-1.
std::vector<double> outlier_path(const FoundOutlier& outlier, std::size_t n, double delta, std::size_t period,
                                 std::span<const double> psi)
{
    std::vector<double> x(n, 0.0);
    const std::size_t T = outlier.index;
    switch (outlier.type) {
    case OutlierType::additive:
        x[T] = 1.0;
        break;
    case OutlierType::level_shift:
        std::fill(x.begin() + static_cast<std::ptrdiff_t>(T), x.end(), 1.0);
        break;
    case OutlierType::temporary_change: {
        double power = 1.0;
        for (std::size_t t = T; t < n; ++t) {
            x[t] = power;
            power *= delta;
        }
        break;
    }
    case OutlierType::seasonal_level_shift:
        for (std::size_t t = T; t < n; t += period) {
            x[t] = 1.0;
        }
        break;
    case OutlierType::innovational:
        x[T] = 1.0;
        for (std::size_t j = 1; T + j < n && j <= psi.size(); ++j) {
            x[T + j] = psi[j - 1];
        }
        break;
    }
    return x;
}

// An estimate over its standard error. An exact fit's errors are 0: an
// effect that is not 0 is then certain (infinite t), one that is 0 is none.
double t_statistic(double estimate, double standard_error)
{
    if (standard_error == 0.0) {
        return estimate == 0.0 ? NAN : std::copysign(INFINITY, estimate);
    }
    return estimate / standard_error;
}

struct Round {
    std::vector<FoundOutlier> kept;  // in time order; effects and t from `fit`
    std::vector<double> psi;         // the IO paths' weights in `fit`
    ArimaFit fit;
};

class Procedure {
public:
    Procedure(std::span<const double> y, const ArimaOrder& order, std::span<const ArimaRegressor> regressors,
              const OutlierOptions& options)
        : y_(y), order_(order), regressors_(regressors.begin(), regressors.end()), options_(options)
    {
    }

    // The model with `outliers` as regressors; with `arma`, its ARMA
    // coefficients held there and the regression alone fitted.
    ArimaFit fit(const std::vector<FoundOutlier>& outliers, std::span<const double> psi,
                 std::optional<std::vector<double>> arma = std::nullopt) const
    {
        if (options_.stop_requested && options_.stop_requested()) {
            throw OutlierStopped();
        }
        std::vector<ArimaRegressor> columns = regressors_;
        for (const FoundOutlier& outlier : outliers) {
            columns.push_back({outlier_regressor_name(outlier), outlier_path(outlier, y_.size(), options_.delta, period(), psi)});
        }
        ArimaOptions fit_options;
        fit_options.include_mean = options_.include_mean;
        fit_options.include_drift = options_.include_drift;
        fit_options.max_iterations = options_.max_iterations;
        fit_options.stop_requested = options_.stop_requested;
        fit_options.fixed_arma = std::move(arma);
        try {
            return fit_arima(y_, order_, columns, fit_options);
        } catch (const ArimaStopped&) {
            throw OutlierStopped();
        }
    }

    // Refits with `outliers`, dropping the weakest while its |t| is below
    // the critical value (a t that cannot be formed is the weakest). An
    // IO's path is the psi weights of the fit it was found on.
    //
    // A drop refits the regression alone, the ARMA part held at the last
    // full fit's: one filter pass instead of a search, where a long series
    // with many candidates would otherwise pay a whole fit per drop. Once
    // every t passes, a full fit with what is left has the last word, and
    // drops again if it must; the result is always a full fit.
    Round refit(std::vector<FoundOutlier> outliers, std::span<const double> psi, double critical_value) const
    {
        std::sort(outliers.begin(), outliers.end(),
                  [](const FoundOutlier& a, const FoundOutlier& b) { return a.index < b.index; });
        std::optional<std::vector<double>> held;  // the last full fit's ARMA coefficients, after a drop
        while (true) {
            Round round{outliers, {psi.begin(), psi.end()}, fit(outliers, psi, held)};
            if (held && !(round.fit.sigma2 > 0.0)) {
                held.reset();  // no estimate with the ARMA part held (an exact fit): fit it all
                continue;
            }
            if (outliers.empty()) {
                return round;
            }
            const std::size_t first = round.fit.coefficients.size() - outliers.size();
            std::size_t weakest = 0;
            double smallest = INFINITY;
            for (std::size_t i = 0; i < outliers.size(); ++i) {
                const double t = t_statistic(round.fit.coefficients[first + i], round.fit.standard_errors[first + i]);
                round.kept[i].effect = round.fit.coefficients[first + i];
                round.kept[i].t_statistic = t;
                const double size = std::isnan(t) ? -1.0 : std::fabs(t);
                if (size < smallest) {
                    smallest = size;
                    weakest = i;
                }
            }
            if (smallest >= critical_value) {
                if (!held) {
                    return round;
                }
                held.reset();
                continue;
            }
            if (!held) {
                held.emplace(round.fit.coefficients.begin(),
                             round.fit.coefficients.begin() + static_cast<std::ptrdiff_t>(arma_count()));
            }
            outliers.erase(outliers.begin() + static_cast<std::ptrdiff_t>(weakest));
        }
    }

    // How many ARMA coefficients the fit has; they come first.
    std::size_t arma_count() const
    {
        const int count = order_.p + order_.q + order_.P + order_.Q;
        return static_cast<std::size_t>(count);
    }

    // The seasonal level shift's period (1 for a model without seasons).
    std::size_t period() const { return static_cast<std::size_t>(order_.period); }

private:
    std::span<const double> y_;
    ArimaOrder order_;
    std::vector<ArimaRegressor> regressors_;
    const OutlierOptions& options_;
};

// Refits with the kept outliers and the new ones after them. A new
// outlier the model cannot take as a regressor (its path is a combination
// of the others' once differenced) is given up, newest first.
Round refit_new(const Procedure& procedure, std::vector<FoundOutlier> candidates, const Round& current,
                double critical_value)
{
    while (true) {
        try {
            return procedure.refit(candidates, current.fit.psi_weights, critical_value);
        } catch (const ArimaInputError&) {
            if (candidates.size() == current.kept.size()) {
                throw;
            }
            candidates.pop_back();
        }
    }
}

bool has_intercept(const ArimaFit& fit)
{
    return std::find(fit.names.begin(), fit.names.end(), "intercept") != fit.names.end();
}

// LJUNGCV's curve for the options' method text, or none when the options
// give the critical value.
std::optional<Curve> critical_value_curve(const LoadedModule* module, const OutlierOptions& options)
{
    if (options.critical_value) {
        return std::nullopt;
    }
    if (module == nullptr) {
        throw OutlierInputError("critical_value: none given, and no module to take LJUNGCV's from");
    }
    try {
        return std::optional<Curve>(std::in_place, *module, options.method);
    } catch (const std::length_error&) {
        throw OutlierInputError("method: the text is longer than the host can pass");
    }
}

}  // namespace

std::string outlier_regressor_name(const FoundOutlier& outlier)
{
    return std::string(outlier_type_name(outlier.type)) + std::to_string(outlier.index + 1);
}

void check_shared_outlier_input(const LoadedModule* module, const ArimaOrder& order, const OutlierOptions& options)
{
    check_options(options, order);
    ArimaOptions model;
    model.include_mean = options.include_mean;
    model.include_drift = options.include_drift;
    model.max_iterations = options.max_iterations;
    check_arima_model(order, model);
    std::optional<Curve> curve = critical_value_curve(module, options);
    if (!curve) {
        return;
    }
    // Whether the function takes the level and the method does not depend
    // on the count; whether it has a value there may.
    for (const std::optional<double> alpha : {std::optional<double>(options.alpha), options.retention_alpha}) {
        if (alpha) {
            try {
                outlier_critical_value(*curve, options.method, SHORTEST_HOLDING_LEVEL, *alpha);
            } catch (const NoCriticalValue&) {
                // a count without a value is the series' own outcome
            }
        }
    }
}

namespace {

// The procedure under a given model.
OutlierResult find_outliers_under(const LoadedModule* module, std::span<const double> y, const ArimaOrder& order,
                                  std::span<const ArimaRegressor> regressors, const OutlierOptions& options)
{
    if (y.empty()) {
        throw ArimaInputError("y: is empty");
    }
    const Procedure procedure(y, order, regressors, options);
    const std::size_t n = y.size();

    OutlierResult result;
    Round current{{}, {}, procedure.fit({}, {})};

    // The times whose residual exists: not missing, past what the
    // differencing takes.
    std::vector<bool> left_out(n);
    for (std::size_t t = 0; t < n; ++t) {
        left_out[t] = !std::isfinite(current.fit.residuals[t]);
        result.tested += left_out[t] ? 0 : 1;
    }
    if (result.tested < MIN_TESTED) {
        throw OutlierInputError("y: " + std::to_string(result.tested) + " residuals to test under this model; " +
                                "outlier detection needs at least " + std::to_string(MIN_TESTED));
    }
    result.short_series = result.tested < SHORTEST_HOLDING_LEVEL;
    std::optional<double> retention;
    if (options.critical_value) {
        result.critical_value = *options.critical_value;
    } else {
        std::optional<Curve> curve = critical_value_curve(module, options);
        result.critical_value = outlier_critical_value(*curve, options.method, result.tested, options.alpha);
        if (options.retention_alpha) {
            retention = outlier_critical_value(*curve, options.method, result.tested, *options.retention_alpha);
        }
    }
    retention = retention.value_or(result.critical_value);
    if (options.resamples > 0) {
        // The first pass at LJUNGCV's value; its outliers' times are the censored residuals.
        OutlierOptions first_pass = options;
        first_pass.resamples = 0;
        const OutlierResult pass = find_outliers_under(module, y, order, regressors, first_pass);
        std::vector<std::size_t> censored;
        for (const FoundOutlier& outlier : pass.outliers) {
            censored.push_back(outlier.index);
        }
        const auto flags = std::make_unique<bool[]>(n);
        std::copy(left_out.begin(), left_out.end(), flags.get());
        const calibration::Calibration calibrated = calibration::calibrate(
            pass.fit.residuals, censored,
            {current.fit.pi_weights, options.types, options.delta, std::span<const bool>(flags.get(), n),
             procedure.period()},
            options.alpha, options.retention_alpha.value_or(options.alpha), options.resamples, options.seed,
            options.stop_requested);
        result.critical_value = calibrated.critical_value;
        retention = calibrated.retention;
        result.calibrated = true;
        result.tail_dof = calibrated.tail_dof;
    }
    const std::size_t bound =
        std::max<std::size_t>(1, static_cast<std::size_t>(MAX_OUTLIER_SHARE * static_cast<double>(result.tested)));

    // Every (time, type) ever taken. A level shift at the first tested time
    // of a model with a mean is that mean.
    std::set<std::pair<std::size_t, OutlierType>> tried;
    if (has_intercept(current.fit)) {
        const auto first = std::find(left_out.begin(), left_out.end(), false);
        tried.insert({static_cast<std::size_t>(first - left_out.begin()), OutlierType::level_shift});
    }

    std::vector<double> residuals(n);
    // n > 0 here; the max spares the static analysis a zero-sized array.
    const auto unavailable = std::make_unique<bool[]>(std::max<std::size_t>(n, 1));
    while (result.rounds < options.max_rounds) {
        ++result.rounds;
        // Missing residuals are zero and left out; so are the kept outliers' times.
        for (std::size_t t = 0; t < n; ++t) {
            unavailable[t] = left_out[t];
            residuals[t] = left_out[t] ? 0.0 : current.fit.residuals[t];
        }
        for (const FoundOutlier& outlier : current.kept) {
            unavailable[outlier.index] = true;
        }
        const std::size_t room = bound - std::min(bound, current.kept.size());
        if (room == 0) {
            result.reached_bound = true;
            break;
        }
        std::vector<Outlier> found;
        try {
            found = locate_outliers(residuals, current.fit.pi_weights, options.types, options.delta,
                                    procedure.period(), result.critical_value,
                                    {std::span<const bool>(unavailable.get(), n), room, std::sqrt(current.fit.sigma2),
                                     options.stop_requested});
        } catch (const LocateStopped&) {
            throw OutlierStopped();
        }
        std::vector<FoundOutlier> candidates = current.kept;
        for (const Outlier& outlier : found) {
            if (tried.insert({outlier.index, outlier.type}).second) {
                candidates.push_back({outlier.index, outlier.type, outlier.effect, outlier.statistic});
            }
        }
        if (candidates.size() == current.kept.size()) {
            break;
        }
        result.reached_bound = found.size() == room;
        current = refit_new(procedure, std::move(candidates), current, *retention);
        result.rounds_exhausted = result.rounds == options.max_rounds;
        if (current.fit.sigma2 == 0.0) {
            break;  // the outliers reproduce the series: nothing is left to find
        }
    }

    result.outliers = current.kept;
    // The bound says the model or the threshold does not fit; a search cut
    // at it whose outliers the refits then dropped says nothing of the kind.
    result.reached_bound = result.reached_bound && result.outliers.size() >= bound;
    result.adjusted.assign(y.begin(), y.end());
    for (const FoundOutlier& outlier : result.outliers) {
        const std::vector<double> x = outlier_path(outlier, n, options.delta, procedure.period(), current.psi);
        for (std::size_t t = outlier.index; t < n; ++t) {
            result.adjusted[t] -= outlier.effect * x[t];
        }
    }
    // The tails of what the final model leaves, the outliers' times aside.
    std::vector<double> left = current.fit.residuals;
    for (const FoundOutlier& outlier : result.outliers) {
        left[outlier.index] = NAN;
    }
    const KurtosisTest tails = kurtosis_test(left);
    result.excess_kurtosis = tails.excess;
    result.kurtosis_p_value = tails.p_value;
    result.heavy_tails = tails.p_value < HEAVY_TAILS_LEVEL && !result.calibrated;
    result.fit = std::move(current.fit);
    return result;
}

// The identification with the procedure's stop hook asked too.
Identification identify_for_procedure(std::span<const double> y, int period, std::span<const ArimaRegressor> regressors,
                                      const OutlierOptions& options)
{
    IdentificationOptions identify = *options.identify;
    if (options.stop_requested) {
        identify.stop_requested = [own = identify.stop_requested, procedure = options.stop_requested] {
            return (own && own()) || procedure();
        };
    }
    try {
        return identify_arima(y, period, regressors, identify);
    } catch (const ArimaStopped&) {
        throw OutlierStopped();
    }
}

// The procedure under an identified model: the order and the constant it chose.
OutlierResult find_outliers_identified(const LoadedModule* module, std::span<const double> y,
                                       std::span<const ArimaRegressor> regressors, const Identification& model,
                                       const OutlierOptions& options)
{
    OutlierOptions under = options;
    under.identify.reset();
    if (model.order.d + model.order.D == 0) {
        under.include_mean = model.include_mean;
    }
    under.include_drift = model.include_drift;
    return find_outliers_under(module, y, model.order, regressors, under);
}

bool same_model(const Identification& a, const Identification& b)
{
    const ArimaOrder& x = a.order;
    const ArimaOrder& z = b.order;
    return x.p == z.p && x.d == z.d && x.q == z.q && x.P == z.P && x.D == z.D && x.Q == z.Q &&
           a.include_mean == b.include_mean && a.include_drift == b.include_drift;
}

}  // namespace

OutlierResult find_outliers(const LoadedModule* module, std::span<const double> y, const ArimaOrder& order,
                            std::span<const ArimaRegressor> regressors, const OutlierOptions& options)
{
    check_options(options, order);
    if (!options.identify) {
        return find_outliers_under(module, y, order, regressors, options);
    }
    Identification first = identify_for_procedure(y, order.period, regressors, options);
    OutlierResult result = find_outliers_identified(module, y, regressors, first, options);
    Identification second = identify_for_procedure(result.adjusted, order.period, regressors, options);
    if (!same_model(first, second)) {
        result = find_outliers_identified(module, y, regressors, second, options);
    }
    result.identifications.push_back(std::move(first));
    result.identifications.push_back(std::move(second));
    return result;
}

}  // namespace core
