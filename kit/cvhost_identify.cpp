// The C interface's identification of a seasonal ARIMA model, over the
// core's, and the accessors of how a fit's model was chosen.
#define CVHOST_BUILDING
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "call_outcome.h"
#include "core/arima.h"
#include "core/arima_identification.h"
#include "cvmodule/cvhost.h"
#include "fit_request.h"
#include "handles.h"
#include "identify_request.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const cvhost_identify_options kDefaults = CVHOST_IDENTIFY_OPTIONS_INIT;

bool is_flag(int value)
{
    return value == 0 || value == 1;
}

std::optional<int> tested_or_held(const char* name, int value)
{
    if (value == -1) {
        return std::nullopt;
    }
    if (value < 0) {
        throw core::ArimaInputError(std::string(name) + ": must be -1 (chosen by its test) or the count to hold, got " +
                                    std::to_string(value));
    }
    return value;
}

// The identification asks for the model's order and constant: a caller who
// gives one has asked for something else.
void check_model_left_open(const cvhost_fit_options& o)
{
    if (o.p != 0 || o.d != 0 || o.q != 0 || o.P != 0 || o.D != 0 || o.Q != 0) {
        throw core::ArimaInputError("order: the model is identified from the series; give its period alone, "
                                    "p, d, q, P, D and Q 0 (hold d or D in the identification's options)");
    }
    if (o.include_mean != -1 || o.include_drift != 0) {
        throw core::ArimaInputError("include_mean: the identification chooses the mean and the drift; "
                                    "leave include_mean -1 and include_drift 0");
    }
    if (o.weights != CVHOST_FIT_WEIGHTS_DEFAULT) {
        throw core::ArimaInputError("weights: the identified model's fit has n - 1 weights; "
                                    "leave CVHOST_FIT_WEIGHTS_DEFAULT");
    }
}

std::unique_ptr<cvhost_fit> identify(const cvhost_fit_options* model, const cvhost_identify_options* options)
{
    if (options == nullptr) {
        throw core::ArimaInputError("identify: is NULL");
    }
    const cvhost_internal::FitRequest request = cvhost_internal::request_of(model);
    check_model_left_open(*model);
    core::IdentificationOptions identification = cvhost_internal::identification_options_of(*options);
    identification.max_iterations = request.options.max_iterations;
    return std::make_unique<cvhost_fit>(cvhost_internal::identified_fit(
        core::identify_arima(request.y, request.order.period, request.regressors, identification)));
}

template <class T>
const T* data_or_null(const std::vector<T>& values)
{
    return values.empty() ? nullptr : values.data();
}

const core::CandidateModel* candidate(const cvhost_fit* fit, std::size_t i)
{
    if (fit == nullptr || !fit->identification || i >= fit->identification->candidates.size()) {
        return nullptr;
    }
    return &fit->identification->candidates[i];
}

}  // namespace

namespace cvhost_internal {

core::IdentificationOptions identification_options_of(const cvhost_identify_options& o)
{
    if (o.version != CVHOST_IDENTIFY_OPTIONS_VERSION) {
        throw core::ArimaInputError("identify: version " + std::to_string(o.version) +
                                    " is not one this library knows (1; start from CVHOST_IDENTIFY_OPTIONS_INIT)");
    }
    if (!is_flag(o.stepwise)) {
        throw core::ArimaInputError("stepwise: must be 0 or 1, got " + std::to_string(o.stepwise));
    }
    if (!is_flag(o.allow_constant)) {
        throw core::ArimaInputError("allow_constant: must be 0 or 1, got " + std::to_string(o.allow_constant));
    }
    core::IdentificationOptions options;
    options.d = tested_or_held("d", o.d);
    options.D = tested_or_held("D", o.D);
    options.max_p = o.max_p;
    options.max_q = o.max_q;
    options.max_P = o.max_P;
    options.max_Q = o.max_Q;
    options.stepwise = o.stepwise == 1;
    options.max_order = o.max_order;
    options.allow_constant = o.allow_constant == 1;
    options.max_models = o.max_models;
    if (o.stop_requested != nullptr) {
        options.stop_requested = [stop = o.stop_requested, context = o.stop_context] { return stop(context) != 0; };
    }
    return options;
}

cvhost_fit identified_fit(core::Identification identification)
{
    cvhost_fit fit;
    fit.result = std::move(identification.fit);
    fit.order = identification.order;
    for (const core::CandidateModel& c : identification.candidates) {
        const core::ArimaOrder& o = c.order;
        fit.candidate_orders.insert(fit.candidate_orders.end(), {o.p, o.d, o.q, o.P, o.D, o.Q});
        fit.candidate_constants.push_back(c.constant ? 1 : 0);
        fit.candidate_aicc.push_back(c.aicc);
    }
    for (const core::KpssTest& test : identification.differencing.kpss) {
        fit.kpss_statistics.push_back(test.statistic);
        fit.kpss_p_values.push_back(test.p_value);
    }
    fit.identification = std::move(identification);
    return fit;
}

}  // namespace cvhost_internal

extern "C" {

std::int32_t cvhost_identify_options_init(cvhost_identify_options* options, unsigned int version)
{
    if (options == nullptr || version != CVHOST_IDENTIFY_OPTIONS_VERSION) {
        return CVHOST_STATUS_INVALID_ARGUMENT;
    }
    *options = kDefaults;
    return CVHOST_STATUS_OK;
}

std::int32_t cvhost_identify_arima(const cvhost_fit_options* model, const cvhost_identify_options* options,
                                   cvhost_fit** fit, char* message, std::size_t message_size)
{
    return cvhost_internal::made_object_call<core::ArimaStopped>(
        fit, "fit: is NULL (the fit needs somewhere to go)", message, message_size,
        [&] { return identify(model, options); });
}

std::int32_t cvhost_fit_order(const cvhost_fit* fit, std::int32_t order[7])
{
    if (fit == nullptr || order == nullptr) {
        return CVHOST_STATUS_INVALID_ARGUMENT;
    }
    const core::ArimaOrder& o = fit->order;
    const std::int32_t values[7] = {o.p, o.d, o.q, o.P, o.D, o.Q, o.period};
    std::copy(values, values + 7, order);
    return CVHOST_STATUS_OK;
}

int cvhost_fit_identified(const cvhost_fit* fit)
{
    return fit != nullptr && fit->identification ? 1 : 0;
}

std::size_t cvhost_fit_candidate_count(const cvhost_fit* fit)
{
    return fit != nullptr && fit->identification ? fit->identification->candidates.size() : 0;
}

const std::int32_t* cvhost_fit_candidate_orders(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->candidate_orders) : nullptr;
}

const std::int32_t* cvhost_fit_candidate_constants(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->candidate_constants) : nullptr;
}

const double* cvhost_fit_candidate_aicc(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->candidate_aicc) : nullptr;
}

const char* cvhost_fit_candidate_outcome(const cvhost_fit* fit, std::size_t i)
{
    const core::CandidateModel* c = candidate(fit, i);
    return c != nullptr ? core::candidate_outcome_name(c->outcome) : nullptr;
}

const char* cvhost_fit_candidate_reason(const cvhost_fit* fit, std::size_t i)
{
    const core::CandidateModel* c = candidate(fit, i);
    return c != nullptr ? c->reason.c_str() : nullptr;
}

int cvhost_fit_model_bound_reached(const cvhost_fit* fit)
{
    return fit != nullptr && fit->identification && fit->identification->reached_model_bound ? 1 : 0;
}

double cvhost_fit_seasonal_strength(const cvhost_fit* fit)
{
    return fit != nullptr && fit->identification ? fit->identification->differencing.seasonal_strength : kNaN;
}

std::size_t cvhost_fit_kpss_count(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->kpss_statistics.size() : 0;
}

const double* cvhost_fit_kpss_statistics(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->kpss_statistics) : nullptr;
}

const double* cvhost_fit_kpss_p_values(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->kpss_p_values) : nullptr;
}

}  // extern "C"
