// The fit's input rules, checked before any work; each broken rule is one
// FitInputError whose message is one line naming the argument and the rule.
#ifndef ENGINE_ARIMA_CHECKS_H
#define ENGINE_ARIMA_CHECKS_H

#include <span>

#include "engine/arima_fit.h"

namespace engine {

void check_fit_input(std::span<const double> y, const ArimaOrder& order, std::span<const Regressor> regressors,
                     const FitOptions& options);

}  // namespace engine

#endif
