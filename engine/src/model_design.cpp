// The regression columns: an intercept when the series is not differenced,
// a drift 1..n when it is differenced once, then the caller's.
#include "model_design.h"

namespace engine {

Design make_design(std::size_t n, const ArimaOrder& order, std::span<const Regressor> regressors,
                   const FitOptions& options)
{
    Design design;
    const auto add = [&](const char* prefix, int count) {
        for (int i = 1; i <= count; ++i)
            design.arma_names.push_back(prefix + std::to_string(i));
    };
    add("ar", order.p);
    add("ma", order.q);
    add("sar", order.P);
    add("sma", order.Q);
    const int differencing = order.d + order.D;
    if (differencing == 0 && options.include_mean.value_or(true)) {
        design.regression_names.emplace_back("intercept");
        design.columns.emplace_back(n, 1.0);
        design.has_intercept = true;
    }
    if (differencing == 1 && options.include_drift) {
        design.regression_names.emplace_back("drift");
        std::vector<double> trend(n);
        for (std::size_t t = 0; t < n; ++t)
            trend[t] = static_cast<double>(t + 1);
        design.columns.push_back(std::move(trend));
    }
    for (const Regressor& x : regressors) {
        design.regression_names.push_back(x.name);
        design.columns.push_back(x.values);
    }
    return design;
}

}  // namespace engine
