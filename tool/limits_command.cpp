// ljungcv limits: where each curve is a sensible critical value. For every
// method and level, the stretches of n from 1 to the largest count where
// the value holds (grows with n, falls as the level grows), where it is out
// of range (see turned_down), and where there is none.
//
// Every n up to SCAN_DENSE is looked at; beyond, n grows by SCAN_RATIO at a
// time, and each change between two neighbours is placed exactly by
// bisection over the counts between them. A change that comes and goes
// between two such neighbours would be missed; the curves are smooth at
// that scale.
#include <cmath>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "commands.h"
#include "domain.h"
#include "exit_codes.h"
#include "module_session.h"
#include "number_list.h"
#include "numbers.h"
#include "output.h"
#include "output_buffer.h"

namespace ljungcv {

namespace {

constexpr double SCAN_DENSE = 1000.0;
constexpr double SCAN_RATIO = 1.005;

enum class State { holds, in_n, in_alpha, none };

const char* state_text(State state)
{
    switch (state) {
    case State::holds:
        return "holds";
    case State::in_n:
        return "out of range: below the value at n - 1";
    case State::in_alpha:
        return "out of range: below the value at a 1% larger level";
    case State::none:
        break;
    }
    return "no value";
}

State state_at(Curve& curve, double n, double alpha)
{
    const CurvePoint point = curve.at(n, alpha);
    if (point.status != STATUS_OK) {
        return State::none;
    }
    switch (turned_down(curve, n, alpha, point)) {
    case TurnDown::in_n:
        return State::in_n;
    case TurnDown::in_alpha:
        return State::in_alpha;
    case TurnDown::none:
        break;
    }
    return State::holds;
}

struct Stretch {
    double first;
    double last;
    State state;
};

std::vector<Stretch> stretches_of(Curve& curve, double alpha)
{
    std::vector<Stretch> stretches;
    double n = 1.0;
    State state = state_at(curve, n, alpha);
    stretches.push_back({n, n, state});
    while (n < LARGEST_COUNT) {
        const double next = std::min(LARGEST_COUNT, n < SCAN_DENSE ? n + 1.0 : std::floor(n * SCAN_RATIO));
        const State next_state = state_at(curve, next, alpha);
        double low = n;  // state at low is `state`
        while (next_state != state) {
            // The first count after `low` whose state differs.
            double high = next;
            while (high - low > 1.0) {
                const double middle = std::floor((low + high) / 2.0);
                (state_at(curve, middle, alpha) == state ? low : high) = middle;
            }
            stretches.back().last = low;
            state = state_at(curve, high, alpha);
            stretches.push_back({high, high, state});
            low = high;
        }
        stretches.back().last = next;
        n = next;
    }
    return stretches;
}

}  // namespace

int run_limits(const std::filesystem::path& module, const LimitsOptions& options, std::ostream& err)
{
    const std::optional<std::vector<Method>> methods = methods_named(options.method);
    if (!methods) {
        fmt::print(err, "ljungcv limits: method '{}' is not {}\n", options.method, METHOD_CHOICES);
        return EXIT_USAGE;
    }
    std::vector<double> levels;
    try {
        levels = parse_number_list(options.alpha_list).values();
    } catch (const ListError& e) {
        fmt::print(err, "ljungcv limits: {}\n", e.what());
        return EXIT_USAGE;
    }
    if (levels.size() > MAX_LIMITS_LEVELS) {
        fmt::print(err, "ljungcv limits: {} levels are more than {}\n", levels.size(), MAX_LIMITS_LEVELS);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    Curve probe(session, Method::corrected);
    for (const double alpha : levels) {
        if (level_rejected(probe, alpha)) {
            fmt::print(err, "ljungcv limits: {}\n", explain_rejection(2, 1.0, alpha, ""));
            return EXIT_INVALID_ARGUMENT;
        }
    }
    OutputBuffer out(&write_output);
    out.text(fmt::format("{:<6}  {:<7}  {:>10}  {:>10}  {}\n", "method", "alpha", "from n", "to n", "the value"));
    for (const Method method : *methods) {
        Curve curve(session, method);
        for (const double alpha : levels) {
            for (const Stretch& stretch : stretches_of(curve, alpha)) {
                out.text(fmt::format("{:<6}  {:<7}  {:>10}  {:>10}  {}\n", method_keyword(method),
                                     format_shortest(alpha), format_count(stretch.first), format_count(stretch.last),
                                     state_text(stretch.state)));
            }
            out.row_done();
        }
    }
    out.finish();
    return EXIT_VALUE;
}

}  // namespace ljungcv
