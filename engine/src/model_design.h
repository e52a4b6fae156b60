// The fit's regression columns and coefficient names, shared by the input
// checks and the fit so that both see the same design.
#ifndef ENGINE_MODEL_DESIGN_H
#define ENGINE_MODEL_DESIGN_H

#include <span>
#include <string>
#include <vector>

#include "engine/arima_fit.h"

namespace engine {

struct Design {
    std::vector<std::string> arma_names;        // ar1.., ma1.., sar1.., sma1..
    std::vector<std::string> regression_names;  // "intercept", "drift", the caller's
    std::vector<std::vector<double>> columns;   // the regression columns, undifferenced
    bool has_intercept = false;
};

Design make_design(std::size_t n, const ArimaOrder& order, std::span<const Regressor> regressors,
                   const FitOptions& options);

}  // namespace engine

#endif
