#include "option_checks.h"

#include <fmt/format.h>

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

void check_digits_apply(const std::optional<int>& digits, OutputFormat format, std::string_view format_name)
{
    if (digits && format_entry(format).writer != FormatWriter::aligned_table) {
        throw OptionError(fmt::format("--digits applies to the {} formats; {} values are always exact",
                                      writer_format_names(FormatWriter::aligned_table), format_name));
    }
}

}  // namespace ljungcv
