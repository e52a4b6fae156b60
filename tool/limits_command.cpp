// ljungcv limits: where each curve is a sensible critical value, as the
// core finds the stretches, one line each.
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "commands.h"
#include "core/explanations.h"
#include "core/numbers.h"
#include "core/stretches.h"
#include "exit_codes.h"
#include "number_list.h"
#include "option_checks.h"
#include "platform/checked_output.h"
#include "platform/output_buffer.h"

namespace ljungcv {

int run_limits(const std::filesystem::path& module, const LimitsOptions& options, std::ostream& err)
{
    std::optional<std::vector<Method>> methods;
    std::vector<double> levels;
    try {
        methods = checked_methods(options.method);
        levels = checked_list(options.alpha_list).values();
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv limits: {}\n", e.what());
        return EXIT_USAGE;
    }
    if (levels.size() > MAX_LIMITS_LEVELS) {
        fmt::print(err, "ljungcv limits: {} levels are more than {}\n", levels.size(), MAX_LIMITS_LEVELS);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    Curve probe(session, DEFAULT_METHOD);
    for (const double alpha : levels) {
        if (level_rejected(probe, alpha)) {
            fmt::print(err, "ljungcv limits: {}\n", explain_rejection(2, 1.0, alpha, ""));
            return EXIT_INVALID_ARGUMENT;
        }
    }
    platform::OutputBuffer out(&platform::write_output);
    out.text(fmt::format("{:<6}  {:<7}  {:>10}  {:>10}  {}\n", "method", "alpha", "from n", "to n", "the value"));
    for (const Method method : *methods) {
        Curve curve(session, method);
        for (const double alpha : levels) {
            for (const Stretch& stretch : stretches(curve, alpha)) {
                out.text(fmt::format("{:<6}  {:<7}  {:>10}  {:>10}  {}\n", method_keyword(method),
                                     format_shortest(alpha), format_count(stretch.first), format_count(stretch.last),
                                     range_text(stretch.range)));
            }
            out.row_done();
        }
    }
    out.finish();
    return EXIT_VALUE;
}

}  // namespace ljungcv
