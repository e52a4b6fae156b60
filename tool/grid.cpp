#include "grid.h"

namespace ljungcv {

std::vector<std::string> methods_for(const std::string& choice)
{
    if (choice == "both") {
        return {"C", "L"};
    }
    return {choice};
}

const char* method_long_name(const std::string& keyword)
{
    return keyword == "L" ? "asymptotic" : "corrected";
}

Grid evaluate_grid(ModuleSession& session, const std::vector<std::string>& methods, const std::vector<double>& counts,
                   const std::vector<double>& levels)
{
    Grid grid{methods, counts, levels, {}};
    grid.cells.reserve(methods.size() * counts.size() * levels.size());
    const FunctionEntry entry = session.ljungcv().entry;
    for (const std::string& method : methods) {
        const std::vector<standin::Argument> arguments{0.0, 0.0, method};
        standin::PreparedCall call(arguments);
        for (const double n : counts) {
            call.set_number(0, n);
            for (const double alpha : levels) {
                call.set_number(1, alpha);
                call.clear_flags();
                const standin::Evaluation result = call.invoke(entry);
                grid.cells.push_back({result.value, result.status});
            }
        }
    }
    return grid;
}

}  // namespace ljungcv
