// Outliers in the residuals of a fitted time-series model: the statistic of
// an innovational, additive, level-shift, temporary-change or seasonal
// level-shift outlier at every time, and the locate stage that takes the largest while it exceeds the
// critical value. The model is the caller's: it hands down the residuals
// e_0..e_{n-1} and the pi weights pi_1..pi_k of its filter
// e_t = y_t - sum_j pi_j y_{t-j}; no model is fitted here.
#ifndef CORE_OUTLIERS_H
#define CORE_OUTLIERS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/ljungcv.h"

namespace core {

// The numbers are the C interface's CVHOST_OUTLIER_* values, and bits of a
// set of types.
enum class OutlierType : std::int32_t {
    innovational = 1,
    additive = 2,
    level_shift = 4,
    temporary_change = 8,
    seasonal_level_shift = 16,
};

// Every type in the order the locate stage tries them (ties go to the
// first). The additive outlier comes first: at the last time the
// innovational outlier and the temporary change have its regressor, and the
// simpler effect is the one to report. The seasonal level shift comes last:
// in a period whose seasons are one apart it is the level shift.
inline constexpr std::array<OutlierType, 5> OUTLIER_TYPES = {
    OutlierType::additive, OutlierType::innovational, OutlierType::level_shift, OutlierType::temporary_change,
    OutlierType::seasonal_level_shift};

// "IO", "AO", "LS", "TC" or "SLS".
const char* outlier_type_name(OutlierType type);
// The type of a CVHOST_OUTLIER_* number, or nothing.
std::optional<OutlierType> outlier_type_of(std::int32_t code);
// The type named "AO", "io", ... (any case), or nothing.
std::optional<OutlierType> outlier_type_named(std::string_view name);

// A set of outlier types.
class OutlierTypes {
public:
    constexpr OutlierTypes() = default;
    constexpr OutlierTypes(std::initializer_list<OutlierType> types)
    {
        for (const OutlierType type : types) {
            bits_ |= static_cast<std::uint32_t>(type);
        }
    }
    // The set an OR of CVHOST_OUTLIER_* bits names, or nothing when a bit
    // names no type. The empty set is a set.
    static std::optional<OutlierTypes> of_bits(std::int32_t bits);

    constexpr bool contains(OutlierType type) const { return (bits_ & static_cast<std::uint32_t>(type)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    // The set as an OR of CVHOST_OUTLIER_* bits.
    constexpr std::int32_t bits() const { return static_cast<std::int32_t>(bits_); }

private:
    std::uint32_t bits_ = 0;
};

// Input the statistics cannot be formed from; what() is one line that says
// which argument and why.
class OutlierInputError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// LJUNGCV has no value for the series' length at the level asked for;
// what() says why.
class NoCriticalValue : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The temporary change's decay when the caller names none.
inline constexpr double DEFAULT_DELTA = 0.7;

// The default residual scale is MAD_TO_SIGMA times the median absolute
// deviation from the median: 1 / Phi^{-1}(3/4) to four decimals, so that the
// scale of normal residuals is estimated without bias in large samples and
// an outlier barely moves it.
inline constexpr double MAD_TO_SIGMA = 1.4826;

// MAD_TO_SIGMA times the median of |e_t - median(e)|; the median of an even
// count is the mean of the two middle values. Throws OutlierInputError for
// no residuals or a residual that is not finite. The result is 0 when more
// than half the residuals are equal; callers that divide by it check.
double default_sigma(std::span<const double> residuals);

// The effect and the statistic of an outlier of `type` at every time
// T = 0..n-1 (n = residuals.size()): effects[T] = w(T), statistics[T] =
// tau(T); either span may be empty (not wanted), else it holds n values.
// pi holds pi_1..pi_k (k may be 0); delta is the temporary change's decay,
// read for that type only; period is the seasonal level shift's s, read for
// that type only; sigma is the residual scale, default_sigma when not given.
// A level shift at the last point is an additive outlier, and so is a
// seasonal level shift in the last period (its step recurs past the end):
// their effects and statistics there are NaN. Where a sum overflows, the
// effect or the statistic is NaN or infinite.
// Throws OutlierInputError for no residuals, a residual or weight that is
// not finite, a delta outside (0, 1), a period below 2 for the seasonal
// level shift, a sigma that is not finite and positive, or a default sigma
// of 0.
void outlier_statistics(std::span<const double> residuals, std::span<const double> pi, OutlierType type,
                        double delta, std::size_t period, std::optional<double> sigma, std::span<double> effects,
                        std::span<double> statistics);

// One outlier the locate stage found: its time (0-based), its type, its
// effect w and its statistic tau when it was taken.
struct Outlier {
    std::size_t index = 0;
    OutlierType type = OutlierType::additive;
    double effect = 0;
    double statistic = 0;

    friend bool operator==(const Outlier&, const Outlier&) = default;
};

// Throws OutlierInputError where locate_outliers would for its input:
// no residuals, a residual or weight that is not finite, an empty type set,
// a delta outside (0, 1) with the temporary change in the set, a period
// below 2 with the seasonal level shift in it.
void check_outlier_input(std::span<const double> residuals, std::span<const double> pi, OutlierTypes types,
                         double delta, std::size_t period);

// Which times the locate stage may take, and how many.
struct LocateLimits {
    // Empty, or one flag per residual: true where no outlier may be taken
    // and the residual is no evidence of the scale (a missing value's).
    std::span<const bool> left_out;
    std::size_t max_count = static_cast<std::size_t>(-1);
    // The scale where the default rule gives 0 (more than half the
    // residuals equal: data on a grid, a flat stretch), such as a fitted
    // model's sigma. With one, a scale of 0 ends the search instead of
    // failing it: nothing is left to find in residuals that are all fitted.
    std::optional<double> fallback_sigma;
    // Asked before each outlier is looked for; true stops the search with
    // LocateStopped.
    std::function<bool()> stop_requested;
};

// The locate stage stopped because its caller asked it to.
class LocateStopped : public std::runtime_error {
public:
    LocateStopped() : std::runtime_error("stopped on request") {}
};

// The locate stage: while the largest |tau| over the times not yet taken
// and the types in `types` exceeds critical_value, record it, remove its
// effect from a working copy of the residuals (e_t -= w x_t), re-estimate
// sigma by the default rule from the residuals at the times neither taken
// nor left out, and repeat. A time once taken no longer counts towards the
// scale: what is left of its residual after the removal is the fit of the
// effect, not noise, and counted in it would shrink the scale round by
// round. Outliers come in the order found; ties go to the earlier type in
// OUTLIER_TYPES, then the earlier time.
// Throws OutlierInputError as outlier_statistics does, for an empty type
// set, a critical value that is not finite and positive, or a default sigma
// of 0 on the way.
std::vector<Outlier> locate_outliers(std::span<const double> residuals, std::span<const double> pi,
                                     OutlierTypes types, double delta, std::size_t period, double critical_value,
                                     const LocateLimits& limits = {});

// LJUNGCV(n, alpha [, method_text]) for a series of n residuals, through the
// curve of that method text. Throws OutlierInputError where the function
// rejects the level or the method, NoCriticalValue where it has no value;
// the message is the one every front-end gives for that outcome.
double outlier_critical_value(Curve& curve, std::optional<std::string_view> method_text, std::size_t n,
                              double alpha);

}  // namespace core

#endif
