#include "core/grid.h"

namespace core {

Grid evaluate_grid(const ModuleSession& session, const std::vector<Method>& methods, const std::vector<double>& counts,
                   const std::vector<double>& levels)
{
    Grid grid{methods, counts, levels, {}};
    grid.cells.reserve(methods.size() * counts.size() * levels.size());
    for (const Method method : methods) {
        Curve curve(session.entry(), method);
        RecentPoints points(curve);
        for (const double n : counts) {
            for (const double alpha : levels) {
                grid.cells.push_back(assess_at(points, n, alpha));
            }
        }
    }
    return grid;
}

}  // namespace core
