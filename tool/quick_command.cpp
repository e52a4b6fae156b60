// ljungcv N ALPHA [METHOD]: one evaluation, its value on stdout.
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "exit_codes.h"
#include "explain.h"
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
        fmt::print(err, "ljungcv: {}\n", explain_rejection(result.rejected_argument(), *n, *alpha, options.method));
        return EXIT_INVALID_ARGUMENT;
    }
    if (result.status == STATUS_NO_RESULT) {
        fmt::print(err, "ljungcv: {}\n", explain_no_result(*n, *alpha, options.method));
        return EXIT_NO_RESULT;
    }
    if (result.status != STATUS_OK) {
        fmt::print(err, "ljungcv: the module answered with unknown status {}\n", result.status);
        return EXIT_LOAD;
    }
    fmt::print(out, "{}\n", options.exact ? format_shortest(result.value) : format_fixed(result.value, options.digits));
    return EXIT_VALUE;
}

}  // namespace ljungcv
