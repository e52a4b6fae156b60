// Critical values over a grid of counts and levels, for one or both methods,
// evaluated through the module like any single call, each with its verdict.
#ifndef CORE_GRID_H
#define CORE_GRID_H

#include <vector>

#include "core/ljungcv.h"
#include "core/sensible_range.h"

namespace core {

using GridCell = AssessedPoint;

struct Grid {
    std::vector<Method> methods;
    std::vector<double> counts;
    std::vector<double> levels;
    std::vector<GridCell> cells;  // method-major, then count, then level

    const GridCell& cell(std::size_t method, std::size_t count, std::size_t level) const
    {
        return cells[(method * counts.size() + count) * levels.size() + level];
    }
};

Grid evaluate_grid(const ModuleSession& session, const std::vector<Method>& methods, const std::vector<double>& counts,
                   const std::vector<double>& levels);

}  // namespace core

#endif
