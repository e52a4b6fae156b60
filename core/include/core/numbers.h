// Exact number text for the front-ends: strict parsing, fixed and shortest
// round-trip formatting.
#ifndef CORE_NUMBERS_H
#define CORE_NUMBERS_H

#include <optional>
#include <string>
#include <string_view>

namespace core {

// The double the whole text denotes (decimal or exponent form, "inf", "nan";
// surrounding blanks not allowed), or nothing.
std::optional<double> parse_number(std::string_view text);

// Fixed notation with `digits` decimals.
std::string format_fixed(double value, int digits);

// The shortest text that reads back as exactly the same double.
std::string format_shortest(double value);

// Beyond 2^53 not every integer is a double.
inline constexpr double LARGEST_EXACT_INTEGER = 9007199254740992.0;

// A count: whole numbers up to 2^53 in digits (100000, not 1e+05), anything
// else as format_shortest.
std::string format_count(double n);

}  // namespace core

#endif
