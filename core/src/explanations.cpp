#include "core/explanations.h"

#include <cmath>

#include "core/numbers.h"
#include "host/ljungcv_function.h"

namespace core {

namespace {

std::string point_text(double n, double alpha)
{
    return "n = " + format_count(n) + ", alpha = " + format_shortest(alpha);
}

}  // namespace

const char* status_text(std::int32_t status)
{
    switch (static_cast<Status>(status)) {
    case Status::ok:
        return "ok";
    case Status::no_result:
        return "no result";
    case Status::invalid_argument:
        return "invalid argument";
    default:
        return "unknown status";
    }
}

const char* range_text(Range range)
{
    switch (range) {
    case Range::holds:
        return "holds";
    case Range::below_previous_n:
        return "out of range: below the value at n - 1";
    case Range::below_larger_level:
        return "out of range: below the value at a 1% larger level";
    case Range::no_value:
        break;
    }
    return "no value";
}

std::string explain_rejection(int argument, double n, double alpha, std::string_view method_text)
{
    switch (argument) {
    case 1:
        return "argument 1 (n = " + format_count(n) + ") rejected: n is the host's missing value";
    case 2:
        return "argument 2 (alpha = " + format_shortest(alpha) + ") rejected: alpha must be a level between 0 and " +
               format_shortest(MAX_ALPHA);
    default:
        return "argument 3 (method = '" + std::string(method_text) + "') rejected: the method must be " +
               every_method_keyword();
    }
}

std::string explain_no_result(double n, double alpha, Method method)
{
    const std::string what = "no value for " + point_text(n, alpha) + " with the " + method_title(method) + ": ";
    if (!count_fits(n)) {
        return what + "n does not fit a 32-bit count";
    }
    const double count = std::trunc(n);
    if (count < 1.0) {
        return what + "a series needs at least 1 observation";
    }
    if (count < fewest_observations(method)) {
        return what + "the " + method_long_name(method) + " method needs at least " +
               std::to_string(fewest_observations(method)) + " observations";
    }
    if (std::isnan(alpha)) {
        return what + "alpha is not a number";
    }
    if (alpha == 0.0) {
        return what + "at alpha = 0 the critical value is infinite";
    }
    if (std::sqrt(1.0 + alpha) == 1.0) {
        return what + "alpha is too small for Ljung's formula in double precision (sqrt(1 + alpha) rounds to 1)";
    }
    return what + "the method gives no value here";
}

std::string explain_turn_down(Range range, double n, double alpha, Method method)
{
    const std::string where =
        range == Range::below_previous_n
            ? "it is below the value for n - 1 observations"
            : "it is below the value at " + larger_level_text();
    return "the " + method_title(method) + " at " + point_text(n, alpha) + " is outside its curve's sensible range (" +
           where + "); a critical value must grow with n and fall as alpha grows, so a test with this value " +
           "does not hold the level alpha";
}

std::string explain(double n, double alpha, std::optional<std::string_view> method_text, const Point& point,
                    Range range)
{
    const Method method = method_text ? method_named(*method_text).value_or(DEFAULT_METHOD) : DEFAULT_METHOD;
    switch (point.status) {
    case Status::invalid_argument:
        return explain_rejection(point.rejected, n, alpha, method_text.value_or(""));
    case Status::no_result:
        return explain_no_result(n, alpha, method);
    case Status::ok:
        return range == Range::below_previous_n || range == Range::below_larger_level
                   ? explain_turn_down(range, n, alpha, method)
                   : std::string();
    default:
        return "the module answered with unknown status " + std::to_string(static_cast<std::int32_t>(point.status));
    }
}

std::string explain_reach(const ThresholdReach& found, double alpha, double threshold, Method method)
{
    const std::string curve = "the " + method_title(method) + " at alpha = " + format_shortest(alpha);
    const std::string c = format_shortest(threshold);
    const std::string n = format_count(found.n);
    switch (found.reach) {
    case Reach::crosses:
        return curve + " first reaches " + c + " at n = " + n + " (" + format_fixed(found.value, 9) + "; " +
               format_fixed(found.previous, 9) + " at n - 1): a test with " + c +
               " is stricter than one at this level for fewer observations, and laxer from n = " + n + " on";
    case Reach::from_start:
        return curve + " is at or above " + c + " from n = " + n + " on, where it " +
               (found.n == 1.0 ? "starts" : "begins to hold") + " (" + format_fixed(found.value, 9) +
               "): a test with " + c + " is laxer than one at this level wherever the curve holds from there";
    case Reach::never:
        break;
    }
    if (std::isnan(found.n)) {
        return curve + " has no value at any n";
    }
    std::string text = curve + " stays below " + c + " wherever it holds (at most " + format_fixed(found.value, 9) +
                       " at n = " + n + "): a test with " + c + " is stricter than one at this level";
    if (!std::isnan(found.outside_n)) {
        text += "; it reaches " + c + " at n = " + format_count(found.outside_n) + ", where it is " +
                range_text(found.outside_range);
    }
    return text;
}

}  // namespace core
