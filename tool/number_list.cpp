#include "number_list.h"

#include <charconv>
#include <cmath>
#include <string>

#include "core/numbers.h"

namespace ljungcv {

using core::parse_number;

namespace {

double item_number(std::string_view part, std::string_view item)
{
    const std::optional<double> value = parse_number(part);
    if (!value || !std::isfinite(*value)) {
        throw ListError("'" + std::string(part) + "' in '" + std::string(item) + "' is not a finite number");
    }
    return *value;
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
