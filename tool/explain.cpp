#include "explain.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "numbers.h"

namespace ljungcv {

namespace {

bool is_asymptotic(const std::optional<std::string>& method)
{
    if (!method) {
        return false;
    }
    const auto first = std::find_if(method->begin(), method->end(), [](char c) { return c != ' '; });
    return first != method->end() && std::toupper(static_cast<unsigned char>(*first)) == 'L';
}

}  // namespace

std::string method_name(const std::optional<std::string>& method)
{
    return is_asymptotic(method) ? "asymptotic method (L)" : "corrected method (C)";
}

std::string explain_rejection(int argument, double n, double alpha, const std::optional<std::string>& method)
{
    switch (argument) {
    case 1:
        return "argument 1 (n = " + format_shortest(n) + ") rejected: n is the host's missing value";
    case 2:
        return "argument 2 (alpha = " + format_shortest(alpha) +
               ") rejected: alpha must be a level between 0 and 0.1";
    default:
        return "argument 3 (method = '" + method.value_or("") +
               "') rejected: the method must be L, LJUNG, C, CORR, CORRECT or CORRECTED";
    }
}

std::string explain_no_result(double n, double alpha, const std::optional<std::string>& method)
{
    const std::string what = "no value for n = " + format_shortest(n) + ", alpha = " + format_shortest(alpha) +
                             " with the " + method_name(method) + ": ";
    if (!(std::fabs(n) < 2147483648.0)) {
        return what + "n does not fit a 32-bit count";
    }
    const double count = std::trunc(n);
    if (count < 1.0) {
        return what + "a series needs at least 1 observation";
    }
    if (count < 2.0 && is_asymptotic(method)) {
        return what + "the asymptotic method needs at least 2 observations";
    }
    if (std::isnan(alpha)) {
        return what + "alpha is not a number";
    }
    if (alpha == 0.0) {
        return what + "at alpha = 0 the critical value is infinite";
    }
    return what + "the method gives no value here";
}

}  // namespace ljungcv
