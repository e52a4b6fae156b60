// Critical values over a grid of counts and levels, for one or both methods,
// evaluated through the module like any single call.
#ifndef LJUNGCV_GRID_H
#define LJUNGCV_GRID_H

#include <cstdint>
#include <string>
#include <vector>

#include "module_session.h"

namespace ljungcv {

struct GridCell {
    double value;
    std::int32_t status;
};

struct Grid {
    std::vector<std::string> methods;  // "C", "L"
    std::vector<double> counts;
    std::vector<double> levels;
    std::vector<GridCell> cells;  // method-major, then count, then level

    const GridCell& cell(std::size_t method, std::size_t count, std::size_t level) const
    {
        return cells[(method * counts.size() + count) * levels.size() + level];
    }
};

// "C", "L" or "both" to the method keywords, corrected first.
std::vector<std::string> methods_for(const std::string& choice);

// "corrected" or "asymptotic".
const char* method_long_name(const std::string& keyword);

Grid evaluate_grid(ModuleSession& session, const std::vector<std::string>& methods, const std::vector<double>& counts,
                   const std::vector<double>& levels);

}  // namespace ljungcv

#endif
