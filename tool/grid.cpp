#include "grid.h"

namespace ljungcv {

Grid evaluate_grid(ModuleSession& session, const std::vector<Method>& methods, const std::vector<double>& counts,
                   const std::vector<double>& levels)
{
    Grid grid{methods, counts, levels, {}};
    grid.cells.reserve(methods.size() * counts.size() * levels.size());
    for (const Method method : methods) {
        Curve curve(session, method);
        for (const double n : counts) {
            for (const double alpha : levels) {
                const CurvePoint point = curve.at(n, alpha);
                grid.cells.push_back({point, turned_down(curve, n, alpha, point)});
            }
        }
    }
    return grid;
}

}  // namespace ljungcv
