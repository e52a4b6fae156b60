// ljungcv N ALPHA [METHOD]: one evaluation, its value on stdout.
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "domain.h"
#include "exit_codes.h"
#include "module_session.h"
#include "numbers.h"

namespace ljungcv {

int run_quick(const std::filesystem::path& module, const QuickOptions& options, std::ostream& out,
              std::ostream& err)
{
    const std::optional<double> n = parse_number(options.n);
    const std::optional<double> alpha = parse_number(options.alpha);
    if (!n || !alpha) {
        fmt::print(err, "ljungcv: {} '{}' is not a number\n", !n ? "N" : "ALPHA", !n ? options.n : options.alpha);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    const standin::Evaluation result = session.evaluate(*n, *alpha, options.method);
    if (result.status == STATUS_INVALID_ARGUMENT) {
        fmt::print(err, "ljungcv: {}\n",
                   explain_rejection(result.rejected_argument(), *n, *alpha, options.method.value_or("")));
        return EXIT_INVALID_ARGUMENT;
    }
    // The module accepted the text, so it names a method.
    const Method method = options.method ? method_named(*options.method).value_or(Method::corrected) : Method::corrected;
    if (result.status == STATUS_NO_RESULT) {
        fmt::print(err, "ljungcv: {}\n", explain_no_result(*n, *alpha, method));
        return EXIT_NO_RESULT;
    }
    if (result.status != STATUS_OK) {
        fmt::print(err, "ljungcv: the module answered with unknown status {}\n", result.status);
        return EXIT_LOAD;
    }
    fmt::print(out, "{}\n", options.exact ? format_shortest(result.value) : format_fixed(result.value, options.digits));
    Curve curve(session, method);
    const TurnDown turn = turned_down(curve, *n, *alpha, {result.value, result.status});
    if (turn != TurnDown::none) {
        fmt::print(err, "ljungcv: note: {}\n", explain_turn_down(turn, *n, *alpha, method));
    }
    return EXIT_VALUE;
}

}  // namespace ljungcv
