// ljungcv: critical values of outlier tests in time series, computed by the
// cvmodule function module loaded through the stand-in host.
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>
#include <fmt/ostream.h>

#include "commands.h"
#include "exit_codes.h"
#include "module_locator.h"
#include "standin/dynamic_library.h"

namespace {

constexpr const char* DESCRIPTION =
    "Critical values of outlier tests for a series of N observations at level ALPHA,\n"
    "computed by the cvmodule function LJUNGCV(n, alpha [, method]).\n"
    "Methods: C (corrected, the default; also CORR, CORRECT, CORRECTED) and\n"
    "L (Ljung's asymptotic approximation; also LJUNG).\n";

constexpr const char* EXAMPLES =
    "\nExamples:\n"
    "  ljungcv 10 0.05           corrected critical value for 10 observations\n"
    "  ljungcv 100 0.05 L        Ljung's asymptotic value\n"
    "  ljungcv info              what the host learns of the module\n";

}  // namespace

int main(int argc, char** argv)
{
    using namespace ljungcv;

    CLI::App app{DESCRIPTION, "ljungcv"};
    app.footer(std::string(EXAMPLES) + "\n" + EXIT_CODES_HELP);
    app.set_version_flag("--version", std::string("ljungcv ") + CVMODULE_VERSION_TEXT);
    app.require_subcommand(0, 1);

    std::string module_option;
    app.add_option("--module", module_option, "the module file (default: the one beside ljungcv)");

    QuickOptions quick;
    app.add_option("N", quick.n, "number of observations");
    app.add_option("ALPHA", quick.alpha, "significance level, 0 to 0.1");
    app.add_option("METHOD", quick.method, "L or C (and their long forms); default C");
    app.add_option("--digits", quick.digits, "decimals printed (default 9)")->check(CLI::Range(0, 17));
    app.add_flag("--exact", quick.exact, "print the shortest text that reads back as the same double");

    CLI::App* info = app.add_subcommand("info", "show the module's image information, version record and functions");
    info->footer("\nExample:\n  ljungcv info --module build/lib/libcvmodule.so\n");
    info->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fmt::print(std::cerr, "ljungcv: {}\n", e.what());
        return EXIT_USAGE;
    }

    const std::filesystem::path module =
        module_option.empty() ? default_module_path(argv[0]) : std::filesystem::path(module_option);
    try {
        if (info->parsed()) {
            return run_info(module, std::cout, std::cerr);
        }
        if (quick.n.empty() || quick.alpha.empty()) {
            fmt::print(std::cerr, "ljungcv: give N and ALPHA, or a subcommand (see ljungcv --help)\n");
            return EXIT_USAGE;
        }
        return run_quick(module, quick, std::cout, std::cerr);
    } catch (const standin::LoadError& e) {
        fmt::print(std::cerr, "ljungcv: {}\n", e.what());
        return EXIT_LOAD;
    }
}
