#include "option_checks.h"

#include <cmath>

#include <fmt/format.h>

#include "core/numbers.h"

namespace ljungcv {

std::vector<Method> checked_methods(std::string_view text)
{
    std::optional<std::vector<Method>> methods = methods_named(text);
    if (!methods) {
        throw OptionError(fmt::format("method '{}' is not {}", text, method_choices()));
    }
    return std::move(*methods);
}

Method checked_method(std::string_view text)
{
    const std::optional<Method> method = method_named(text);
    if (!method) {
        throw OptionError(fmt::format("--method '{}' is not one of {} (any case)", text, keywords_by_method()));
    }
    return *method;
}

OutputFormat checked_format(std::string_view text, FormatCommand command)
{
    const std::optional<OutputFormat> format = format_named(text, command);
    if (!format) {
        throw OptionError(fmt::format("format '{}' is not {}", text, format_names(command)));
    }
    return *format;
}

NumberList checked_list(std::string_view text)
{
    try {
        return parse_number_list(text);
    } catch (const ListError& e) {
        throw OptionError(e.what());
    }
}

double checked_number(std::string_view option, std::string_view text)
{
    std::string why;
    const std::optional<double> value = read_number(text, why);
    if (!value) {
        throw OptionError(fmt::format("{} {}", option, why));
    }
    return *value;
}

namespace {

std::string in_unit(std::string_view unit)
{
    return unit.empty() ? std::string() : fmt::format(" of {}", unit);
}

}  // namespace

int checked_whole_number(std::string_view option, std::string_view text, int lowest, int highest,
                         std::string_view unit)
{
    const double value = checked_number(option, text);
    // NaN fails both comparisons, an infinity the range.
    if (!(value == std::trunc(value) && value >= lowest && value <= highest)) {
        throw OptionError(
            fmt::format("{} '{}' is not a whole number{} from {} to {}", option, text, in_unit(unit), lowest, highest));
    }
    return static_cast<int>(value);
}

double checked_number_within(std::string_view option, std::string_view text, double lowest, double highest,
                             std::string_view unit)
{
    const double value = checked_number(option, text);
    if (!(value >= lowest && value <= highest)) {
        throw OptionError(fmt::format("{} '{}' is not a number{} from {} to {}", option, text, in_unit(unit),
                                      core::format_shortest(lowest), core::format_shortest(highest)));
    }
    return value;
}

int checked_digits(const std::optional<std::string>& digits)
{
    return digits ? checked_whole_number("--digits", *digits, 0, MAX_DIGITS) : DEFAULT_DIGITS;
}

void check_digits_apply(const std::optional<std::string>& digits, OutputFormat format, std::string_view format_name)
{
    if (digits && format_entry(format).writer != FormatWriter::aligned_table) {
        throw OptionError(fmt::format("--digits applies to the {} formats; {} values are always exact",
                                      writer_format_names(FormatWriter::aligned_table), format_name));
    }
}

}  // namespace ljungcv
