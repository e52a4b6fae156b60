// Compares two builds of the module over a grid of calls, bit for bit.
//
//   cvmodule_grid_compare BASELINE [MODULE]
//
// Loads both modules into one stand-in host and makes the same calls through
// each one's LJUNGCV entry: n from -5 to 2100 and beyond, levels from 0 to
// past 0.1 (every power of two down to 2^-60, NaN, missing and out-of-range
// ones included), without a method and with valid and invalid method texts,
// the texts upper-cased by the host's table and by its service. Status, result bits and every argument's
// invalid flag must agree. MODULE defaults to the module built beside this
// program. Exits 0 when every call agrees, 1 otherwise.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace {

std::vector<double> grid_counts()
{
    std::vector<double> n;
    for (int i = -5; i <= 2100; ++i) {
        n.push_back(i);
    }
    for (double v : {2999.0, 5000.0, 10000.0, 65535.0, 1e5, 123457.0, 1e6, 1e7, 1e9, 2147483647.0, 2147483648.0,
                     -2147483648.0, -2147483649.0, 1e300, 25.9, 0.9, -1.5, 99.999, 100.5, 200.25}) {
        n.push_back(v);
    }
    n.push_back(std::numeric_limits<double>::infinity());
    n.push_back(-std::numeric_limits<double>::infinity());
    n.push_back(std::numeric_limits<double>::quiet_NaN());
    n.push_back(MISSING_VALUE);
    return n;
}

std::vector<double> grid_levels()
{
    std::vector<double> a;
    for (int k = 1; k <= 200; ++k) {
        a.push_back(k * 0.0005);
    }
    for (double v : {0.0, -0.0, 1e-300, 0x1p-54, 0x1p-53, 0x1p-52, 1e-12, 1e-6, 0.001, 0.01, 0.025, 0.05, 0.1,
                     std::nextafter(0.1, 1.0), std::nextafter(0.1, 0.0), -1e-9, 0.5}) {
        a.push_back(v);
    }
    // Every power of two down to 2^-60, and levels around the edge where the
    // anchors' probabilities round to 1 (about 2.8e-16 to 3.3e-16).
    for (int e = 1; e <= 60; ++e) {
        a.push_back(std::ldexp(1.0, -e));
    }
    for (double v : {2.7e-16, 2.78e-16, 2.8e-16, 3.0e-16, 3.3e-16, 3.34e-16, 3.4e-16}) {
        a.push_back(v);
    }
    a.push_back(std::numeric_limits<double>::quiet_NaN());
    a.push_back(MISSING_VALUE);
    return a;
}

struct Call {
    std::vector<standin::Argument> arguments;
    bool by_service;
};

bool same(const standin::Evaluation& a, const standin::Evaluation& b)
{
    return a.status == b.status && std::bit_cast<std::uint64_t>(a.value) == std::bit_cast<std::uint64_t>(b.value) &&
           a.flagged == b.flagged;
}

std::string describe(const std::vector<standin::Argument>& arguments)
{
    std::string text;
    for (const standin::Argument& argument : arguments) {
        char buffer[64];
        if (const double* number = std::get_if<double>(&argument)) {
            std::snprintf(buffer, sizeof buffer, "%.17g", *number);
            text += buffer;
        } else {
            text += "'" + std::get<std::string>(argument) + "'";
        }
        text += " ";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: cvmodule_grid_compare BASELINE [MODULE]\n");
        return 2;
    }
    const std::string module_path = argc == 3 ? argv[2] : CVMODULE_PATH;

    standin::HostEnvironment host;
    FunctionEntry entries[2] = {};
    std::vector<std::unique_ptr<standin::Module>> modules;
    try {
        for (const std::string& path : {std::string(argv[1]), module_path}) {
            modules.push_back(std::make_unique<standin::Module>(host, path));
            const standin::RegisteredFunction* function = modules.back()->find_function("LJUNGCV");
            if (function == nullptr) {
                std::fprintf(stderr, "cvmodule_grid_compare: %s registers no LJUNGCV\n", path.c_str());
                return 1;
            }
            entries[modules.size() - 1] = function->entry;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cvmodule_grid_compare: %s\n", e.what());
        return 1;
    }

    // One pair of prepared frames per call shape; each grid point writes its
    // n and alpha into them, as the host fills its frame for every call.
    const std::vector<std::string> texts = {"C", "corrected", " CORR ", "Correct", "L", "ljung", "L C", "C CORR",
                                            "L C CORR", "X", "LJ", "CORRECTE", "   ", "", "C  CORR", "CORRECTEDX"};
    std::vector<Call> shapes;
    shapes.push_back({{0.0, 0.0}, false});
    for (const std::string& text : texts) {
        shapes.push_back({{0.0, 0.0, text}, false});
        shapes.push_back({{0.0, 0.0, text}, true});
    }
    const std::vector<double> counts = grid_counts();
    const std::vector<double> levels = grid_levels();
    std::size_t calls = 0;
    std::size_t mismatches = 0;
    for (Call& shape : shapes) {
        host.set_upcase_via_service(shape.by_service);
        standin::PreparedCall baseline(shape.arguments);
        standin::PreparedCall current(shape.arguments);
        for (double n : counts) {
            for (double alpha : levels) {
                for (standin::PreparedCall* call : {&baseline, &current}) {
                    call->set_number(0, n);
                    call->set_number(1, alpha);
                    call->clear_flags();
                }
                const standin::Evaluation want = baseline.invoke(entries[0]);
                const standin::Evaluation got = current.invoke(entries[1]);
                ++calls;
                if (!same(want, got) && ++mismatches <= 20) {
                    shape.arguments[0] = n;
                    shape.arguments[1] = alpha;
                    std::fprintf(stderr, "differs at %s(%s): status %d, value %.17g; baseline %d, %.17g\n",
                                 describe(shape.arguments).c_str(), shape.by_service ? "service" : "table",
                                 got.status, got.value, want.status, want.value);
                }
            }
        }
    }
    std::printf("%zu calls compared, %zu differ\n", calls, mismatches);
    return mismatches == 0 ? 0 : 1;
}
