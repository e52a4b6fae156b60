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
    switch (status) {
    case STATUS_OK:
        return "ok";
    case STATUS_NO_RESULT:
        return "no result";
    case STATUS_INVALID_ARGUMENT:
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
    if (count < 2.0 && method == Method::asymptotic) {
        return what + "the asymptotic method needs at least 2 observations";
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
            : "it is below the value at a " + format_shortest(LEVEL_STEP * 100) + "% larger level";
    return "the " + method_title(method) + " at " + point_text(n, alpha) + " is outside its curve's sensible range (" +
           where + "); a critical value must grow with n and fall as alpha grows, so a test with this value " +
           "does not hold the level alpha";
}

std::string explain(double n, double alpha, std::optional<std::string_view> method_text, const Point& point,
                    Range range)
{
    const Method method = method_text ? method_named(*method_text).value_or(Method::corrected) : Method::corrected;
    switch (point.status) {
    case STATUS_INVALID_ARGUMENT:
        return explain_rejection(point.rejected, n, alpha, method_text.value_or(""));
    case STATUS_NO_RESULT:
        return explain_no_result(n, alpha, method);
    case STATUS_OK:
        return range == Range::below_previous_n || range == Range::below_larger_level
                   ? explain_turn_down(range, n, alpha, method)
                   : std::string();
    default:
        return "the module answered with unknown status " + std::to_string(point.status);
    }
}

}  // namespace core
