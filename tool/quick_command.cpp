// ljungcv N ALPHA [METHOD]: one evaluation, its value on stdout.
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "core/explanations.h"
#include "core/numbers.h"
#include "core/sensible_range.h"
#include "exit_codes.h"
#include "number_list.h"
#include "option_checks.h"

namespace ljungcv {

int run_quick(const std::filesystem::path& module, const QuickOptions& options, std::ostream& out,
              std::ostream& err)
{
    int digits = DEFAULT_DIGITS;
    try {
        digits = checked_digits(options.digits);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv: {}\n", e.what());
        return EXIT_USAGE;
    }
    std::string unread;
    const std::optional<double> n = read_number(options.n, unread);
    const std::optional<double> alpha = n ? read_number(options.alpha, unread) : std::nullopt;
    if (!n || !alpha) {
        fmt::print(err, "ljungcv: {} {}\n", !n ? "N" : "ALPHA", unread);
        return EXIT_USAGE;
    }
    if (const std::string fraction = fractional_count_problem(*n); !fraction.empty()) {
        fmt::print(err, "ljungcv: {}\n", fraction);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    const std::optional<std::string_view> method = options.method;
    Curve curve(session, method);
    RecentPoints points(curve);
    const AssessedPoint result = assess_at(points, *n, *alpha);
    const std::string why = explain(*n, *alpha, method, result.point, result.range);
    switch (result.point.status) {
    case Status::invalid_argument:
        fmt::print(err, "ljungcv: {}\n", why);
        return EXIT_INVALID_ARGUMENT;
    case Status::no_result:
        fmt::print(err, "ljungcv: {}\n", why);
        return EXIT_NO_RESULT;
    case Status::ok:
        break;
    default:
        fmt::print(err, "ljungcv: {}\n", why);
        return EXIT_LOAD;
    }
    const double value = result.point.value;
    fmt::print(out, "{}\n", options.exact ? format_shortest(value) : format_fixed(value, digits));
    if (!why.empty()) {
        fmt::print(err, "ljungcv: note: {}\n", why);
    }
    return EXIT_VALUE;
}

}  // namespace ljungcv
