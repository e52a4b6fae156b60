// The checks of the options that table, plot, limits and eval share, in
// one place: each gives the value, or throws OptionError with the message a
// user sees after "ljungcv COMMAND: " (a usage error).
#ifndef LJUNGCV_OPTION_CHECKS_H
#define LJUNGCV_OPTION_CHECKS_H

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "number_list.h"
#include "output_formats.h"

namespace ljungcv {

class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// --method of table, plot and limits: a method's name or both.
std::vector<Method> checked_methods(std::string_view text);
// --method of eval: one method's name.
Method checked_method(std::string_view text);
// --format of table and eval.
OutputFormat checked_format(std::string_view text, FormatCommand command);
// A LIST of numbers (--n, --alpha).
NumberList checked_list(std::string_view text);
// Every number an option takes is read by the one number reader
// (read_number: decimal, exponent allowed, no blanks around it, no hex or
// octal), then checked against what the option needs; the messages name
// the option and quote the text as typed.
//
// One number (eval's --alpha), named `option` in the message.
double checked_number(std::string_view option, std::string_view text);
// A whole number from lowest to highest (--digits, --width); `unit`, when
// given, is said in the message ("pixels").
int checked_whole_number(std::string_view option, std::string_view text, int lowest, int highest,
                         std::string_view unit = {});
// A number from lowest to highest, in `unit` (--timeout's seconds).
double checked_number_within(std::string_view option, std::string_view text, double lowest, double highest,
                             std::string_view unit);
// --digits: only where values are rounded.
void check_digits_apply(const std::optional<std::string>& digits, OutputFormat format, std::string_view format_name);

}  // namespace ljungcv

#endif
