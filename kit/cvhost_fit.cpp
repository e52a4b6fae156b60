// The C interface's fit of a regression with seasonal ARIMA errors, over the
// core's. No exception crosses it: bad input is a status and a message, and
// the result is an object the caller reads through accessors and frees.
#define CVHOST_BUILDING
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/arima.h"
#include "call_outcome.h"
#include "fit_request.h"
#include "handles.h"
#include "cvmodule/cvhost.h"

using cvhost_internal::status_of_call;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const cvhost_fit_options kVersion1Defaults = CVHOST_FIT_OPTIONS_INIT;

std::vector<core::ArimaRegressor> regressors_of(const cvhost_fit_options& o)
{
    if (o.xreg_columns == 0)
        return {};
    if (o.xreg == nullptr)
        throw core::ArimaInputError("xreg: is NULL with xreg_columns " + std::to_string(o.xreg_columns));
    if (o.n != 0 && o.xreg_columns > std::numeric_limits<std::size_t>::max() / o.n)
        throw core::ArimaInputError("xreg_columns: " + std::to_string(o.xreg_columns) +
                                    " columns of n values do not fit in memory");
    std::vector<core::ArimaRegressor> columns(o.xreg_columns);
    for (std::size_t j = 0; j < o.xreg_columns; ++j) {
        if (o.xreg_names == nullptr) {
            // Appended, not "x" + ...: GCC 12 warns falsely on that (-Wrestrict).
            columns[j].name = std::to_string(j + 1).insert(0, 1, 'x');
        } else if (o.xreg_names[j] == nullptr) {
            throw core::ArimaInputError("xreg_names: name " + std::to_string(j + 1) + " is NULL");
        } else {
            columns[j].name = o.xreg_names[j];
        }
        columns[j].values.assign(o.xreg + j * o.n, o.xreg + (j + 1) * o.n);
    }
    return columns;
}

bool is_flag(int value)
{
    return value == 0 || value == 1;
}

}  // namespace

namespace cvhost_internal {

FitRequest request_of(const cvhost_fit_options* options)
{
    if (options == nullptr)
        throw core::ArimaInputError("options: is NULL");
    const cvhost_fit_options& o = *options;
    if (o.version != CVHOST_FIT_OPTIONS_VERSION)
        throw core::ArimaInputError("options: version " + std::to_string(o.version) +
                                    " is not one this library knows (1; start from CVHOST_FIT_OPTIONS_INIT)");
    if (o.y == nullptr && o.n > 0)
        throw core::ArimaInputError("y: is NULL with n " + std::to_string(o.n));
    if (o.include_mean < -1 || o.include_mean > 1)
        throw core::ArimaInputError("include_mean: must be -1 (a mean when d + D = 0), 0 or 1, got " +
                                    std::to_string(o.include_mean));
    if (!is_flag(o.include_drift))
        throw core::ArimaInputError("include_drift: must be 0 or 1, got " + std::to_string(o.include_drift));

    FitRequest request;
    request.order = {o.p, o.d, o.q, o.P, o.D, o.Q, o.period};
    if (o.include_mean != -1)
        request.options.include_mean = o.include_mean == 1;
    request.options.include_drift = o.include_drift == 1;
    request.options.max_iterations = o.max_iterations;
    if (o.weights != CVHOST_FIT_WEIGHTS_DEFAULT)
        request.options.weights = o.weights;
    request.y = o.n > 0 ? std::span<const double>(o.y, o.n) : std::span<const double>();
    request.regressors = regressors_of(o);
    return request;
}

}  // namespace cvhost_internal

namespace {

std::unique_ptr<cvhost_fit> fit_of(const cvhost_fit_options* options)
{
    const cvhost_internal::FitRequest request = cvhost_internal::request_of(options);
    auto fit = std::make_unique<cvhost_fit>();
    fit->result = core::fit_arima(request.y, request.order, request.regressors, request.options);
    fit->order = request.order;
    return fit;
}

const double* data_or_null(const std::vector<double>& values)
{
    return values.empty() ? nullptr : values.data();
}

}  // namespace

extern "C" {

std::int32_t cvhost_fit_options_init(cvhost_fit_options* options, unsigned int version)
{
    if (options == nullptr || version != CVHOST_FIT_OPTIONS_VERSION)
        return CVHOST_STATUS_INVALID_ARGUMENT;
    *options = kVersion1Defaults;
    return CVHOST_STATUS_OK;
}

std::int32_t cvhost_fit_arima(const cvhost_fit_options* options, cvhost_fit** fit, char* message,
                              std::size_t message_size)
{
    if (fit != nullptr)
        *fit = nullptr;
    return status_of_call<core::ArimaInputError>(message, message_size, [&] {
        if (fit == nullptr)
            throw core::ArimaInputError("fit: is NULL (the fit needs somewhere to go)");
        *fit = fit_of(options).release();
    });
}

void cvhost_fit_free(cvhost_fit* fit)
{
    delete fit;
}

std::size_t cvhost_fit_coefficient_count(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.names.size() : 0;
}

const char* cvhost_fit_coefficient_name(const cvhost_fit* fit, std::size_t index)
{
    return fit != nullptr && index < fit->result.names.size() ? fit->result.names[index].c_str() : nullptr;
}

const double* cvhost_fit_coefficients(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.coefficients) : nullptr;
}

const double* cvhost_fit_standard_errors(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.standard_errors) : nullptr;
}

const double* cvhost_fit_covariance(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.covariance) : nullptr;
}

double cvhost_fit_sigma2(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.sigma2 : kNaN;
}

double cvhost_fit_loglik(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.loglik : kNaN;
}

double cvhost_fit_aic(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.aic : kNaN;
}

double cvhost_fit_aicc(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.aicc : kNaN;
}

double cvhost_fit_bic(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.bic : kNaN;
}

std::size_t cvhost_fit_nobs(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.nobs : 0;
}

const double* cvhost_fit_residuals(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.residuals) : nullptr;
}

std::size_t cvhost_fit_weight_count(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.pi_weights.size() : 0;
}

const double* cvhost_fit_pi_weights(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.pi_weights) : nullptr;
}

const double* cvhost_fit_psi_weights(const cvhost_fit* fit)
{
    return fit != nullptr ? data_or_null(fit->result.psi_weights) : nullptr;
}

int cvhost_fit_converged(const cvhost_fit* fit)
{
    return fit != nullptr && fit->result.converged ? 1 : 0;
}

const char* cvhost_fit_message(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.message.c_str() : "";
}

int cvhost_fit_iterations(const cvhost_fit* fit)
{
    return fit != nullptr ? fit->result.iterations : 0;
}

}  // extern "C"
