#include "number_list.h"

#include <charconv>
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "core/numbers.h"

namespace ljungcv {

using core::parse_number;

namespace {

constexpr const char* OUT_OF_RANGE = ": a double holds magnitudes from about 4.9e-324 to 1.8e308";

// Why a text that other readers take as a number is none here: numbers
// are decimal and stand alone, so that 010 is ten everywhere and a blank
// is never part of one. Empty for any other text.
std::string unread_form(std::string_view text)
{
    constexpr std::string_view BLANKS = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(BLANKS);
    if (first != std::string_view::npos) {
        const std::string_view trimmed = text.substr(first, text.find_last_not_of(BLANKS) + 1 - first);
        if (trimmed.size() < text.size() && written_as_number(trimmed)) {
            return ": blanks around a number are not read";
        }
    }
    const std::string_view digits = text.substr(!text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0);
    if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        return ": numbers are read in decimal only";
    }
    return {};
}

double item_number(std::string_view part, std::string_view item)
{
    const std::optional<double> value = parse_number(part);
    if (!value && written_as_number(part)) {
        throw ListError(fmt::format("'{}' in '{}' is out of range{}", part, item, OUT_OF_RANGE));
    }
    if (!value || !std::isfinite(*value)) {
        throw ListError(fmt::format("'{}' in '{}' is not a finite number{}", part, item, unread_form(part)));
    }
    return *value;
}

// The text a number reader sees: from_chars takes no leading '+'.
std::string_view without_plus(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    return text;
}

double round_to_15_digits(double value)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    double rounded = value;
    std::from_chars(text, written.ptr, rounded);
    return rounded;
}

NumberRange parse_range(std::string_view item, std::size_t room)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = item.find(':', start);
        parts.push_back(item.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
        if (colon == std::string_view::npos) {
            break;
        }
        start = colon + 1;
    }
    if (parts.size() > 3) {
        throw ListError("range '" + std::string(item) + "' has more than FIRST:LAST:STEP");
    }
    const double first = item_number(parts[0], item);
    const double last = item_number(parts[1], item);
    const double step = parts.size() == 3 ? item_number(parts[2], item) : 1.0;
    if (!(step > 0.0)) {
        throw ListError("range '" + std::string(item) + "' needs a positive step");
    }
    if (last < first) {
        throw ListError("range '" + std::string(item) + "' ends before it starts");
    }
    // LAST counts as reached within a millionth of a step.
    const double count = std::floor((last - first) / step + 1e-6) + 1.0;
    if (count > static_cast<double>(room)) {
        throw ListError("range '" + std::string(item) + "' has too many values");
    }
    return {first, step, static_cast<std::size_t>(count)};
}

}  // namespace

bool written_as_number(std::string_view text)
{
    if (parse_number(text)) {
        return true;
    }
    const std::string_view digits = without_plus(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc::result_out_of_range && end == digits.data() + digits.size();
}

std::optional<double> read_number(std::string_view text, std::string& why)
{
    if (const std::optional<double> value = parse_number(text)) {
        return value;
    }
    why = written_as_number(text) ? fmt::format("'{}' is out of range{}", text, OUT_OF_RANGE)
                                  : fmt::format("'{}' is not a number{}", text, unread_form(text));
    return std::nullopt;
}

std::string fractional_count_problem(double n)
{
    if (!std::isfinite(n) || n == std::trunc(n)) {
        return {};
    }
    return fmt::format("n = {} is not a whole number of observations", core::format_shortest(n));
}

// Each value is computed afresh, so that no rounding accumulates, then
// rounded to 15 significant digits, so that a decimal range gives the
// decimals written (0.01:0.1:0.01 ends at 0.1, not at 0.09999999999999999).
double NumberRange::at(std::size_t i) const
{
    return step == 0.0 ? first : round_to_15_digits(first + static_cast<double>(i) * step);
}

NumberList::NumberList(std::vector<NumberRange> ranges) : ranges_(std::move(ranges))
{
    for (const NumberRange& range : ranges_) {
        size_ += range.count;
    }
}

std::vector<double> NumberList::values() const
{
    std::vector<double> values;
    values.reserve(size_);
    for_each([&values](double value) { values.push_back(value); });
    return values;
}

NumberList parse_number_list(std::string_view text)
{
    std::vector<NumberRange> ranges;
    std::size_t total = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (item.empty()) {
            throw ListError("empty item in list '" + std::string(text) + "'");
        }
        if (item.find(':') != std::string_view::npos) {
            ranges.push_back(parse_range(item, MAX_LIST_VALUES - total));
        } else {
            if (total == MAX_LIST_VALUES) {
                throw ListError("list '" + std::string(text) + "' has too many values");
            }
            ranges.push_back({item_number(item, item), 0.0, 1});
        }
        total += ranges.back().count;
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return NumberList(std::move(ranges));
}

}  // namespace ljungcv
