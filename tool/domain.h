// What the command knows of LJUNGCV(n, alpha [, method]): its methods and
// their names, the counts and levels it takes, why it gives no value, and
// where a curve stops being a sensible critical value. Every subcommand asks
// here; none re-derives a rule of its own. The values themselves always come
// from the module.
#ifndef LJUNGCV_DOMAIN_H
#define LJUNGCV_DOMAIN_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ljungcv {

inline constexpr const char* FUNCTION_NAME = "LJUNGCV";

enum class Method { corrected, asymptotic };

// "C" or "L": the keyword the command passes to the module.
const char* method_keyword(Method method);
// "corrected" or "asymptotic".
const char* method_long_name(Method method);
// "corrected method (C)".
std::string method_title(Method method);

// The method a text selects as the function reads it: blanks trimmed, any
// case, L, LJUNG, C, CORR, CORRECT, CORRECTED or a run of adjacent keywords
// ("L C", "L C CORR", "C CORR"). Nothing for any other text.
std::optional<Method> method_named(std::string_view text);

// The same, plus "both" (any case) for the corrected and then the
// asymptotic method.
std::optional<std::vector<Method>> methods_named(std::string_view text);

inline constexpr const char* METHOD_CHOICES = "C, CORR, CORRECT, CORRECTED, L, LJUNG (any case) or both";

// Levels the function accepts: 0 <= alpha <= 0.1 (0 itself has no value).
inline constexpr double HIGHEST_LEVEL = 0.1;

// n is truncated toward zero to a 32-bit signed count; a truncation outside
// that range has no value, it is never wrapped.
inline constexpr double SMALLEST_COUNT = -2147483648.0;
inline constexpr double LARGEST_COUNT = 2147483647.0;
bool count_fits(double n);

// Why argument `argument` (1-based) was rejected, for a message.
std::string explain_rejection(int argument, double n, double alpha, std::string_view method_text);

// Why the method has no value at (n, alpha), for a message.
std::string explain_no_result(double n, double alpha, Method method);

// One method's outcome at one point.
struct CurvePoint {
    double value;
    std::int32_t status;  // the host's: STATUS_OK, STATUS_NO_RESULT, STATUS_INVALID_ARGUMENT
};

// Where a value lies outside its curve's sensible range. A critical value
// for the largest of n statistics must grow with n and fall as the level
// grows; a value below the one at n - 1, or below the one at a slightly
// larger level, breaks that.
enum class TurnDown { none, in_n, in_alpha };

// The slightly larger level that a value at alpha is compared with:
// alpha (1 + LEVEL_STEP), or, where that is above the highest level, the
// level is compared with alpha / (1 + LEVEL_STEP) the other way round. One
// per cent is coarse enough that the comparison measures the curve, not the
// rounding of its values, and fine enough to find every level between 0.001
// and 0.055 out of order at n = 400 000.
inline constexpr double LEVEL_STEP = 0.01;

// Gives a method's values at other points through the module.
class CurveSource {
public:
    virtual CurvePoint at(double n, double alpha) = 0;

protected:
    CurveSource() = default;
    ~CurveSource() = default;
    CurveSource(const CurveSource&) = default;
    CurveSource& operator=(const CurveSource&) = default;
};

// Whether the module rejects `alpha` as a level (asked at a count it accepts).
bool level_rejected(CurveSource& curve, double alpha);

// Whether `here`, the curve's point at (n, alpha), is out of its sensible
// range, and which way. A point without a value never is; a neighbour
// without a value is no evidence either way.
TurnDown turned_down(CurveSource& curve, double n, double alpha, const CurvePoint& here);

// One line for the user: why the point is outside the sensible range, and
// what that does to the test.
std::string explain_turn_down(TurnDown turn, double n, double alpha, Method method);

}  // namespace ljungcv

#endif
