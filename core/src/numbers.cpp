#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace core {

std::optional<double> parse_number(std::string_view text)
{
    // from_chars takes no leading '+'; a user may well write one.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            return std::nullopt;
        }
    }
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string format_fixed(double value, int digits)
{
    char buffer[400];
    const auto [ptr, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    if (error != std::errc()) {
        return format_shortest(value);
    }
    return std::string(buffer, ptr);
}

std::string format_shortest(double value)
{
    char buffer[64];
    const auto [ptr, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;  // 64 bytes hold every double's shortest form
    return std::string(buffer, ptr);
}

std::string format_count(double n)
{
    if (n == std::trunc(n) && std::fabs(n) <= LARGEST_EXACT_INTEGER) {
        return std::to_string(static_cast<std::int64_t>(n));
    }
    return format_shortest(n);
}

}  // namespace core
