// The C interface's outlier procedure, over the core's. The model is read
// as the fit reads it; the result is an object the caller reads through
// accessors and frees, the final fit inside it.
#define CVHOST_BUILDING
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_outcome.h"
#include "core/outlier_procedure.h"
#include "cvmodule/cvhost.h"
#include "fit_request.h"
#include "handles.h"
#include "identify_request.h"
#include "outlier_request.h"


namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const cvhost_outlier_options kDefaults = CVHOST_OUTLIER_OPTIONS_INIT;

// The bytes of a version 1 and a version 2 struct: the fields before the
// next version's first.
constexpr std::size_t kVersion1Size = offsetof(cvhost_outlier_options, resamples);
constexpr std::size_t kVersion2Size = offsetof(cvhost_outlier_options, identify);

core::OutlierOptions options_of(const cvhost_outlier_options& o)
{
    core::OutlierOptions options;
    const std::optional<core::OutlierTypes> types = core::OutlierTypes::of_bits(o.types);
    if (!types) {
        throw core::OutlierInputError("types: " + std::to_string(o.types) +
                                      " has a bit that names no outlier type: an OR of CVHOST_OUTLIER_IO (1), "
                                      "_AO (2), _LS (4), _TC (8) or _SLS (16)");
    }
    options.types = *types;
    options.delta = o.delta;
    options.alpha = o.alpha;
    options.method = o.method != nullptr ? std::optional<std::string>(o.method) : std::nullopt;
    if (!std::isnan(o.critical_value)) {
        options.critical_value = o.critical_value;
    }
    options.max_rounds = o.max_rounds;
    if (o.version >= 2) {
        options.resamples = o.resamples;
        options.seed = o.seed;
    }
    if (o.version >= 3 && o.identify != nullptr) {
        options.identify = cvhost_internal::identification_options_of(*o.identify);
    }
    if (o.stop_requested != nullptr) {
        options.stop_requested = [stop = o.stop_requested, context = o.stop_context] { return stop(context) != 0; };
    }
    return options;
}

}  // namespace

namespace cvhost_internal {

OutlierRequest outlier_request(const cvhost* host, const cvhost_outlier_options* options,
                               const cvhost_fit_options* model)
{
    if (options == nullptr) {
        throw core::OutlierInputError("options: is NULL");
    }
    if (options->version < 1 || options->version > CVHOST_OUTLIER_OPTIONS_VERSION) {
        throw core::OutlierInputError("options: version " + std::to_string(options->version) +
                                      " is not one this library knows (1 to 3; start from CVHOST_OUTLIER_OPTIONS_INIT)");
    }
    core::OutlierOptions procedure = options_of(*options);
    if (host == nullptr && !procedure.critical_value) {
        throw core::OutlierInputError("host: is NULL, and LJUNGCV's critical value needs the module "
                                      "(or give critical_value)");
    }
    OutlierRequest request{request_of(model), std::move(procedure)};
    request.procedure.include_mean = request.model.options.include_mean;
    request.procedure.include_drift = request.model.options.include_drift;
    request.procedure.max_iterations = request.model.options.max_iterations;
    if (request.procedure.identify) {
        request.procedure.identify->max_iterations = request.model.options.max_iterations;
    }
    return request;
}

std::unique_ptr<cvhost_outliers> outliers_of(core::OutlierResult result, const core::ArimaOrder& order)
{
    auto found = std::make_unique<cvhost_outliers>();
    found->result = std::move(result);
    for (const core::FoundOutlier& o : found->result.outliers) {
        found->index.push_back(o.index);
        found->type.push_back(static_cast<std::int32_t>(o.type));
        found->effect.push_back(o.effect);
        found->tstat.push_back(o.t_statistic);
    }
    found->fit.result = std::move(found->result.fit);
    found->fit.order = order;
    for (core::Identification& identification : found->result.identifications) {
        found->identifications.push_back(identified_fit(std::move(identification)));
    }
    found->result.identifications.clear();
    if (!found->identifications.empty()) {
        // The procedure's last run was under the model identified last.
        found->fit.order = found->identifications.back().order;
    }
    return found;
}

}  // namespace cvhost_internal

namespace {

std::unique_ptr<cvhost_outliers> run(cvhost* host, const cvhost_outlier_options* options)
{
    const cvhost_internal::OutlierRequest request =
        cvhost_internal::outlier_request(host, options, options != nullptr ? &options->model : nullptr);
    return cvhost_internal::outliers_of(core::find_outliers(host != nullptr ? host->loaded.get() : nullptr,
                                                            request.model.y, request.model.order,
                                                            request.model.regressors, request.procedure),
                                        request.model.order);
}

template <class T>
const T* data_or_null(const std::vector<T>& values)
{
    return values.empty() ? nullptr : values.data();
}

}  // namespace

extern "C" {

std::int32_t cvhost_outlier_options_init(cvhost_outlier_options* options, unsigned int version)
{
    if (options == nullptr || version < 1 || version > CVHOST_OUTLIER_OPTIONS_VERSION) {
        return CVHOST_STATUS_INVALID_ARGUMENT;
    }
    // An earlier version's struct ends before the later versions' fields.
    const std::size_t sizes[] = {kVersion1Size, kVersion2Size, sizeof(cvhost_outlier_options)};
    std::memcpy(static_cast<void*>(options), &kDefaults, sizes[version - 1]);
    options->version = version;
    return CVHOST_STATUS_OK;
}

std::int32_t cvhost_find_outliers(cvhost* host, const cvhost_outlier_options* options, cvhost_outliers** result,
                                  char* message, std::size_t message_size)
{
    return cvhost_internal::procedure_call(result, message, message_size, [&] { return run(host, options); });
}

void cvhost_outliers_free(cvhost_outliers* result)
{
    delete result;
}

std::size_t cvhost_outliers_count(const cvhost_outliers* result)
{
    return result != nullptr ? result->index.size() : 0;
}

const std::size_t* cvhost_outliers_index(const cvhost_outliers* result)
{
    return result != nullptr ? data_or_null(result->index) : nullptr;
}

const std::int32_t* cvhost_outliers_type(const cvhost_outliers* result)
{
    return result != nullptr ? data_or_null(result->type) : nullptr;
}

const double* cvhost_outliers_effect(const cvhost_outliers* result)
{
    return result != nullptr ? data_or_null(result->effect) : nullptr;
}

const double* cvhost_outliers_tstat(const cvhost_outliers* result)
{
    return result != nullptr ? data_or_null(result->tstat) : nullptr;
}

double cvhost_outliers_critical_value(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.critical_value : kNaN;
}

std::size_t cvhost_outliers_tested(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.tested : 0;
}

int cvhost_outliers_rounds(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.rounds : 0;
}

std::int32_t cvhost_outliers_flags(const cvhost_outliers* result)
{
    if (result == nullptr) {
        return 0;
    }
    const core::OutlierResult& r = result->result;
    return (r.reached_bound ? CVHOST_OUTLIERS_REACHED_BOUND : 0) |
           (r.rounds_exhausted ? CVHOST_OUTLIERS_ROUNDS_EXHAUSTED : 0) |
           (r.short_series ? CVHOST_OUTLIERS_SHORT_SERIES : 0) | (r.heavy_tails ? CVHOST_OUTLIERS_HEAVY_TAILS : 0);
}

double cvhost_outliers_excess_kurtosis(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.excess_kurtosis : kNaN;
}

double cvhost_outliers_kurtosis_p_value(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.kurtosis_p_value : kNaN;
}

int cvhost_outliers_calibrated(const cvhost_outliers* result)
{
    return result != nullptr && result->result.calibrated ? 1 : 0;
}

double cvhost_outliers_tail_dof(const cvhost_outliers* result)
{
    return result != nullptr ? result->result.tail_dof : kNaN;
}

const double* cvhost_outliers_adjusted(const cvhost_outliers* result)
{
    return result != nullptr ? data_or_null(result->result.adjusted) : nullptr;
}

const cvhost_fit* cvhost_outliers_fit(const cvhost_outliers* result)
{
    return result != nullptr ? &result->fit : nullptr;
}

const cvhost_fit* cvhost_outliers_identification(const cvhost_outliers* result, std::size_t which)
{
    return result != nullptr && which < result->identifications.size() ? &result->identifications[which] : nullptr;
}

}  // extern "C"
