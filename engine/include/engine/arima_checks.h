// The fit's input rules, checked before any work; each broken rule is one
// FitInputError whose message is one line naming the argument and the rule.
#pragma once

#include <span>
#include <stdexcept>
#include <string>

#include "engine/arima_fit.h"

namespace engine {

class FitInputError : public std::invalid_argument {
public:
    explicit FitInputError(const std::string& message) : std::invalid_argument(message) {}
};

void check_fit_input(std::span<const double> y, const ArimaOrder& order, std::span<const Regressor> regressors,
                     const FitOptions& options);

}  // namespace engine
