#include "domain.h"

#include <algorithm>
#include <cmath>

#include "host/host_toolkit.h"
#include "numbers.h"

namespace ljungcv {

namespace {

// The keywords in the function's order, framed by blanks: a method text is
// accepted when " TEXT " occurs here, so a run of adjacent keywords is too.
constexpr std::string_view KEYWORDS = " L C CORR CORRECT LJUNG CORRECTED ";
constexpr std::size_t LONGEST_METHOD_TEXT = 9;

std::string upper_trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return upper;
}

std::string point_text(double n, double alpha)
{
    return "n = " + format_count(n) + ", alpha = " + format_shortest(alpha);
}

}  // namespace

const char* method_keyword(Method method)
{
    return method == Method::asymptotic ? "L" : "C";
}

const char* method_long_name(Method method)
{
    return method == Method::asymptotic ? "asymptotic" : "corrected";
}

std::string method_title(Method method)
{
    return std::string(method_long_name(method)) + " method (" + method_keyword(method) + ")";
}

std::optional<Method> method_named(std::string_view text)
{
    // Framed by blanks in a fixed buffer: eval asks this for every line.
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.size() > LONGEST_METHOD_TEXT) {
        return std::nullopt;
    }
    char framed[LONGEST_METHOD_TEXT + 2];
    framed[0] = ' ';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        framed[i + 1] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    framed[text.size() + 1] = ' ';
    if (KEYWORDS.find(std::string_view(framed, text.size() + 2)) == std::string_view::npos) {
        return std::nullopt;
    }
    return framed[1] == 'L' ? Method::asymptotic : Method::corrected;
}

std::optional<std::vector<Method>> methods_named(std::string_view text)
{
    if (upper_trimmed(text) == "BOTH") {
        return std::vector<Method>{Method::corrected, Method::asymptotic};
    }
    if (const std::optional<Method> method = method_named(text)) {
        return std::vector<Method>{*method};
    }
    return std::nullopt;
}

bool count_fits(double n)
{
    return n > SMALLEST_COUNT - 1.0 && n < LARGEST_COUNT + 1.0;
}

std::string explain_rejection(int argument, double n, double alpha, std::string_view method_text)
{
    switch (argument) {
    case 1:
        return "argument 1 (n = " + format_count(n) + ") rejected: n is the host's missing value";
    case 2:
        return "argument 2 (alpha = " + format_shortest(alpha) +
               ") rejected: alpha must be a level between 0 and " + format_shortest(HIGHEST_LEVEL);
    default:
        return "argument 3 (method = '" + std::string(method_text) +
               "') rejected: the method must be L, LJUNG, C, CORR, CORRECT or CORRECTED";
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

bool level_rejected(CurveSource& curve, double alpha)
{
    constexpr double ANY_COUNT = 10.0;
    return curve.at(ANY_COUNT, alpha).status == STATUS_INVALID_ARGUMENT;
}

TurnDown turned_down(CurveSource& curve, double n, double alpha, const CurvePoint& here)
{
    if (here.status != STATUS_OK || !count_fits(n)) {
        return TurnDown::none;
    }
    const CurvePoint before = curve.at(std::trunc(n) - 1.0, alpha);
    if (before.status == STATUS_OK && here.value < before.value) {
        return TurnDown::in_n;
    }
    const double larger = alpha * (1.0 + LEVEL_STEP);
    if (larger <= HIGHEST_LEVEL) {
        const CurvePoint next = curve.at(n, larger);
        if (next.status == STATUS_OK && here.value < next.value) {
            return TurnDown::in_alpha;
        }
    } else {
        const CurvePoint previous = curve.at(n, alpha / (1.0 + LEVEL_STEP));
        if (previous.status == STATUS_OK && previous.value < here.value) {
            return TurnDown::in_alpha;
        }
    }
    return TurnDown::none;
}

std::string explain_turn_down(TurnDown turn, double n, double alpha, Method method)
{
    const std::string where =
        turn == TurnDown::in_n
            ? "it is below the value for n - 1 observations"
            : "it is below the value at a " + format_shortest(LEVEL_STEP * 100) + "% larger level";
    return "the " + method_title(method) + " at " + point_text(n, alpha) + " is outside its curve's sensible range (" +
           where + "); a critical value must grow with n and fall as alpha grows, so a test with this value " +
           "does not hold the level alpha";
}

}  // namespace ljungcv
