#include "model_text.h"

#include <cmath>
#include <cstddef>

#include <fmt/format.h>

#include "core/numbers.h"

namespace ljungcv {

namespace {

using json = nlohmann::ordered_json;

json number(double value)
{
    return std::isfinite(value) ? json(value) : json(nullptr);
}

// The constant a model has or lacks: a mean without differencing, a drift
// under one difference, none beyond.
std::string constant_text(const core::Identification& model)
{
    const int differences = model.order.d + model.order.D;
    if (differences == 0) {
        return model.include_mean ? "with a mean" : "without a mean";
    }
    if (differences == 1) {
        return model.include_drift ? "with a drift" : "without a drift";
    }
    return "";
}

std::string model_with_constant(const core::Identification& model)
{
    const std::string constant = constant_text(model);
    return constant.empty() ? model_name(model.order) : model_name(model.order) + " " + constant;
}

bool same_model(const core::Identification& a, const core::Identification& b)
{
    const core::ArimaOrder& x = a.order;
    const core::ArimaOrder& z = b.order;
    return x.p == z.p && x.d == z.d && x.q == z.q && x.P == z.P && x.D == z.D && x.Q == z.Q && x.period == z.period &&
           a.include_mean == b.include_mean && a.include_drift == b.include_drift;
}

// "d = 1 by KPSS at 0.05 (eta 1.23 rejects at d = 0, 0.214 not at d = 1)"
std::string kpss_text(const core::DifferencingChoice& differencing)
{
    std::string tests;
    for (std::size_t i = 0; i < differencing.kpss.size(); ++i) {
        const core::KpssTest& test = differencing.kpss[i];
        tests += fmt::format("{}{:.3g} {} at d = {}", i == 0 ? "eta " : ", ", test.statistic,
                             test.rejects ? "rejects" : "not", i);
    }
    return fmt::format("d = {} by KPSS at {} ({})", differencing.d, core::format_shortest(core::KPSS_LEVEL), tests);
}

// "D = 1 by seasonal strength 0.83 (above 0.64)"
std::string seasonal_text(const core::DifferencingChoice& differencing)
{
    const std::string threshold = core::format_shortest(core::SEASONAL_STRENGTH_THRESHOLD);
    if (std::isnan(differencing.seasonal_strength)) {
        return fmt::format("D = {} (seasonal strength not measured: fewer than two periods observed)", differencing.D);
    }
    return fmt::format("D = {} by seasonal strength {:.3g} ({}above {})", differencing.D,
                       differencing.seasonal_strength, differencing.D == 1 ? "" : "not ", threshold);
}

json order_members(const core::Identification& model)
{
    const core::ArimaOrder& o = model.order;
    return {{"order", {o.p, o.d, o.q}},
            {"seasonal", {o.P, o.D, o.Q, o.period}},
            {"include_mean", model.include_mean},
            {"include_drift", model.include_drift}};
}

}  // namespace

std::string model_name(const core::ArimaOrder& order)
{
    std::string name = fmt::format("ARIMA({},{},{})", order.p, order.d, order.q);
    if (order.period > 1) {
        name += fmt::format("({},{},{})[{}]", order.P, order.D, order.Q, order.period);
    }
    return name;
}

std::vector<std::string> identification_lines(std::span<const core::Identification> identifications)
{
    if (identifications.empty()) {
        return {};
    }
    const core::Identification& final_model = identifications.back();
    std::size_t without_aicc = 0;
    bool exact = false;  // an exact fit is chosen over any AICc
    for (const core::CandidateModel& candidate : final_model.candidates) {
        without_aicc += candidate.outcome == core::CandidateOutcome::kept ? 0 : 1;
        exact = exact || candidate.outcome == core::CandidateOutcome::exact_fit;
    }
    std::string line = fmt::format("identified: {} of {} models tried",
                                   exact ? "an exact fit with the fewest coefficients," : "least AICc",
                                   final_model.candidates.size());
    if (without_aicc > 0) {
        line += fmt::format(" ({} without an AICc)", without_aicc);
    }
    if (final_model.reached_model_bound) {
        line += ", where the search stopped at its bound";
    }
    if (const std::string constant = constant_text(final_model); !constant.empty()) {
        line += ", " + constant;
    }
    line += "; differencing: " + kpss_text(final_model.differencing);
    if (final_model.order.period > 1) {
        line += ", " + seasonal_text(final_model.differencing);
    }
    std::vector<std::string> lines{line};
    if (!same_model(identifications.front(), final_model)) {
        lines.push_back(fmt::format("identified again without the outliers' effects; the series itself gave {}",
                                    model_with_constant(identifications.front())));
    }
    return lines;
}

json identification_document(std::span<const core::Identification> identifications)
{
    if (identifications.empty()) {
        return json(nullptr);
    }
    const core::Identification& final_model = identifications.back();
    const core::DifferencingChoice& differencing = final_model.differencing;
    json kpss = json::array();
    for (std::size_t i = 0; i < differencing.kpss.size(); ++i) {
        const core::KpssTest& test = differencing.kpss[i];
        kpss.push_back({{"d", i},
                        {"statistic", number(test.statistic)},
                        {"p_value", number(test.p_value)},
                        {"lags", test.lags},
                        {"observations", test.observations},
                        {"rejects", test.rejects}});
    }
    json candidates = json::array();
    for (const core::CandidateModel& candidate : final_model.candidates) {
        const core::ArimaOrder& o = candidate.order;
        candidates.push_back({{"order", {o.p, o.d, o.q}},
                              {"seasonal", {o.P, o.D, o.Q, o.period}},
                              {"constant", candidate.constant},
                              {"aicc", number(candidate.aicc)},
                              {"outcome", core::candidate_outcome_name(candidate.outcome)},
                              {"reason", candidate.reason}});
    }
    json document = order_members(final_model);
    document["differencing"] = {{"d", differencing.d},
                                {"D", differencing.D},
                                {"kpss_level", core::KPSS_LEVEL},
                                {"kpss", kpss},
                                {"seasonal_strength", number(differencing.seasonal_strength)},
                                {"seasonal_strength_threshold", core::SEASONAL_STRENGTH_THRESHOLD}};
    document["candidates"] = candidates;
    document["reached_model_bound"] = final_model.reached_model_bound;
    document["changed"] = !same_model(identifications.front(), final_model);
    document["first"] = order_members(identifications.front());
    return document;
}

}  // namespace ljungcv
