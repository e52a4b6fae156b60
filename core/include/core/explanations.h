// What every front-end says about an outcome of LJUNGCV: why an argument
// was rejected, why there is no value, why a value is outside its curve's
// sensible range. One sentence each, without the program's name.
#ifndef CORE_EXPLANATIONS_H
#define CORE_EXPLANATIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/methods.h"
#include "core/reach.h"
#include "core/sensible_range.h"

namespace core {

// "ok", "no result", "invalid argument" or "unknown status".
const char* status_text(std::int32_t status);
// "holds", "out of range: below the value at n - 1", ... , "no value".
const char* range_text(Range range);

// Why argument `argument` (1-based) was rejected.
std::string explain_rejection(int argument, double n, double alpha, std::string_view method_text);

// Why the method has no value at (n, alpha).
std::string explain_no_result(double n, double alpha, Method method);

// Why the point is outside the sensible range, and what that does to the test.
std::string explain_turn_down(Range range, double n, double alpha, Method method);

// The sentence for any outcome of LJUNGCV(n, alpha [, method_text]), or ""
// for a value that holds.
std::string explain(double n, double alpha, std::optional<std::string_view> method_text, const Point& point,
                    Range range);

// What the inverse look-up found (reach.h), and what it means for a test
// with the threshold in place of the critical value.
std::string explain_reach(const ThresholdReach& found, double alpha, double threshold, Method method);

}  // namespace core

#endif
