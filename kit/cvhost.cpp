// The C interface over the stand-in host. No exception crosses it: every
// failure becomes a message, a status or the missing value.
#define CVHOST_BUILDING
#include "cvmodule/cvhost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/explanations.h"
#include "core/function_facts.h"
#include "core/ljungcv.h"
#include "core/methods.h"
#include "core/module_fields.h"
#include "core/outliers.h"
#include "core/reach.h"
#include "core/sensible_range.h"
#include "core/stretches.h"
#include "call_outcome.h"
#include "handles.h"
#include "library_location.h"
#include "platform/escaped_text.h"

static_assert(CVHOST_STATUS_OK == static_cast<int>(core::Status::ok) &&
              CVHOST_STATUS_NO_RESULT == static_cast<int>(core::Status::no_result) &&
              CVHOST_STATUS_INVALID_ARGUMENT == static_cast<int>(core::Status::invalid_argument));
static_assert(CVHOST_RANGE_HOLDS == static_cast<int>(core::Range::holds) &&
              CVHOST_RANGE_BELOW_PREVIOUS_N == static_cast<int>(core::Range::below_previous_n) &&
              CVHOST_RANGE_BELOW_LARGER_LEVEL == static_cast<int>(core::Range::below_larger_level) &&
              CVHOST_RANGE_NO_VALUE == static_cast<int>(core::Range::no_value));
static_assert(CVHOST_REACH_CROSSES == static_cast<int>(core::Reach::crosses) &&
              CVHOST_REACH_FROM_START == static_cast<int>(core::Reach::from_start) &&
              CVHOST_REACH_NEVER == static_cast<int>(core::Reach::never));
static_assert(CVHOST_OUTLIER_IO == static_cast<int>(core::OutlierType::innovational) &&
              CVHOST_OUTLIER_AO == static_cast<int>(core::OutlierType::additive) &&
              CVHOST_OUTLIER_LS == static_cast<int>(core::OutlierType::level_shift) &&
              CVHOST_OUTLIER_TC == static_cast<int>(core::OutlierType::temporary_change) &&
              CVHOST_OUTLIER_SLS == static_cast<int>(core::OutlierType::seasonal_level_shift));

using cvhost_internal::status_of_call;
using cvhost_internal::write_message;
using cvhost_internal::write_text;

namespace {

// The process's one host environment, shared by every open handle: made by
// the first open, ended by the last close.
std::mutex environment_mutex;
std::unique_ptr<core::Host> environment;
std::size_t open_handles = 0;

std::optional<std::string_view> method_text(const char* method)
{
    return method != nullptr ? std::optional<std::string_view>(method) : std::nullopt;
}

// The curve of a method text as the C interface passes it: NULL makes the
// two-argument call.
core::Curve curve_of(const core::LoadedModule& module, const char* method)
{
    return {module, method_text(method)};
}

std::int32_t fail(double* value, std::int32_t status)
{
    if (value != nullptr) {
        *value = core::MISSING_VALUE;
    }
    return status;
}

}  // namespace

// A handle: the loaded module, LJUNGCV's entry and the module's information,
// fixed at open.
namespace {

// Opens under environment_mutex; throws what the loader throws.
std::unique_ptr<cvhost> open_locked(const std::filesystem::path& path)
{
    std::unique_ptr<core::Host> made;
    if (!environment) {
        made = std::make_unique<core::Host>();
    }
    core::Host& host = made ? *made : *environment;
    auto handle = std::make_unique<cvhost>();
    handle->loaded = std::make_unique<core::LoadedModule>(host, path);
    handle->fields = core::module_fields(*handle->loaded);
    for (const core::ModuleField& field : handle->fields) {
        handle->info.append(field.name).append(": ").append(field.value).append("\n");
    }
    if (made) {
        environment = std::move(made);
    }
    return handle;
}

}  // namespace

extern "C" {

cvhost* cvhost_open(const char* module_path, char* message, std::size_t message_size)
{
    write_message(message, message_size, "");
    try {
        const std::filesystem::path path =
            module_path != nullptr ? std::filesystem::path(module_path) : cvhost_kit::installed_module_path();
        const std::lock_guard lock(environment_mutex);
        std::unique_ptr<cvhost> handle = open_locked(path);
        ++open_handles;
        return handle.release();
    } catch (const std::exception& error) {
        write_message(message, message_size, error.what());
    } catch (...) {
        write_message(message, message_size, "cannot open the module: unknown error");
    }
    return nullptr;
}

void cvhost_close(cvhost* host)
{
    if (host == nullptr) {
        return;
    }
    const std::lock_guard lock(environment_mutex);
    delete host;
    if (--open_handles == 0) {
        environment.reset();
    }
}

std::int32_t cvhost_ljungcv(cvhost* host, double n, double alpha, const char* method, double* value, int* rejected)
{
    if (rejected != nullptr) {
        *rejected = 0;
    }
    if (host == nullptr) {
        return fail(value, CVHOST_STATUS_NO_RESULT);
    }
    // Without a place for the value the call is still made: its status and
    // rejected argument are the answer the caller wants.
    try {
        const core::Point point = curve_of(*host->loaded, method).at(n, alpha);
        if (value != nullptr) {
            *value = point.value;
        }
        if (rejected != nullptr) {
            *rejected = point.rejected;
        }
        return static_cast<std::int32_t>(point.status);
    } catch (const std::length_error&) {
        // The host describes a text's length with 32 bits; a longer method
        // cannot be passed, so it is the rejected argument.
        if (rejected != nullptr) {
            *rejected = 3;
        }
        return fail(value, CVHOST_STATUS_INVALID_ARGUMENT);
    } catch (...) {
        return fail(value, CVHOST_STATUS_NO_RESULT);
    }
}

void cvhost_ljungcv_many(cvhost* host, std::size_t count, const double* n, const double* alpha, const char* method,
                         double* values, std::int32_t* statuses)
{
    cvhost_assess_many(host, count, n, alpha, method, values, statuses, nullptr, nullptr);
}

void cvhost_assess_many(cvhost* host, std::size_t count, const double* n, const double* alpha, const char* method,
                        double* values, std::int32_t* statuses, std::int32_t* rejected, std::int32_t* ranges)
{
    const auto fail_all = [&](std::int32_t status, std::int32_t argument) {
        for (std::size_t i = 0; i < count; ++i) {
            if (values != nullptr) {
                values[i] = core::MISSING_VALUE;
            }
            if (statuses != nullptr) {
                statuses[i] = status;
            }
            if (rejected != nullptr) {
                rejected[i] = argument;
            }
            if (ranges != nullptr) {
                ranges[i] = CVHOST_RANGE_HOLDS;
            }
        }
    };
    if (host == nullptr || n == nullptr || alpha == nullptr) {
        fail_all(CVHOST_STATUS_NO_RESULT, 0);
        return;
    }
    if (count == 0) {
        return;
    }
    try {
        core::Curve curve = curve_of(*host->loaded, method);
        core::assess_many(curve, count, n, alpha, values, statuses, rejected, ranges);
    } catch (const std::length_error&) {
        fail_all(CVHOST_STATUS_INVALID_ARGUMENT, 3);  // a method longer than the host can describe
    } catch (...) {
        fail_all(CVHOST_STATUS_NO_RESULT, 0);
    }
}

std::size_t cvhost_module_info(cvhost* host, char* buffer, std::size_t buffer_size)
{
    return write_text(buffer, buffer_size, host != nullptr ? host->info : std::string());
}

int cvhost_version(void)
{
    return CVHOST_VERSION;
}

int cvhost_method_known(const char* method)
{
    return method != nullptr && core::method_named(method) ? 1 : 0;
}

void cvhost_level_range(double* lowest, double* highest)
{
    if (lowest != nullptr) {
        *lowest = core::LOWEST_LEVEL;
    }
    if (highest != nullptr) {
        *highest = core::HIGHEST_LEVEL;
    }
}

int cvhost_is_missing(double x)
{
    return core::is_missing(x) ? 1 : 0;
}

const char* cvhost_status_text(std::int32_t status)
{
    return core::status_text(status);
}

const char* cvhost_range_text(std::int32_t range)
{
    if (range < CVHOST_RANGE_HOLDS || range > CVHOST_RANGE_NO_VALUE) {
        return "unknown range";
    }
    return core::range_text(static_cast<core::Range>(range));
}

std::size_t cvhost_explain(cvhost* /*host*/, double n, double alpha, const char* method, std::int32_t status,
                           std::int32_t rejected, std::int32_t range, char* buffer, std::size_t buffer_size)
{
    try {
        const core::Point point{core::MISSING_VALUE, static_cast<core::Status>(status), rejected};
        return write_message(buffer, buffer_size,
                             core::explain(n, alpha, method_text(method), point, static_cast<core::Range>(range)));
    } catch (...) {
        return write_text(buffer, buffer_size, "");
    }
}

std::int32_t cvhost_limits(cvhost* host, const char* method, double alpha, std::size_t capacity, double* first_n,
                           double* last_n, std::int32_t* ranges, std::size_t* count)
{
    if (count != nullptr) {
        *count = 0;
    }
    if (host == nullptr) {
        return CVHOST_STATUS_NO_RESULT;
    }
    try {
        core::Curve curve = curve_of(*host->loaded, method);
        if (!curve.method() || core::level_rejected(curve, alpha)) {
            return CVHOST_STATUS_INVALID_ARGUMENT;
        }
        const std::vector<core::Stretch> stretches = core::stretches(curve, alpha);
        for (std::size_t i = 0; i < stretches.size() && i < capacity; ++i) {
            if (first_n != nullptr) {
                first_n[i] = stretches[i].first;
            }
            if (last_n != nullptr) {
                last_n[i] = stretches[i].last;
            }
            if (ranges != nullptr) {
                ranges[i] = static_cast<std::int32_t>(stretches[i].range);
            }
        }
        if (count != nullptr) {
            *count = stretches.size();
        }
        return CVHOST_STATUS_OK;
    } catch (const std::length_error&) {
        return CVHOST_STATUS_INVALID_ARGUMENT;
    } catch (...) {
        return CVHOST_STATUS_NO_RESULT;
    }
}

std::int32_t cvhost_reach(cvhost* host, const char* method, double alpha, double threshold, std::int32_t* reach,
                          double* n, double* value, double* value_before, double* outside_n, char* note,
                          std::size_t note_size)
{
    const core::ThresholdReach none;
    const auto answer = [&](std::int32_t status, const core::ThresholdReach& found, const std::string& text) {
        if (reach != nullptr) {
            *reach = static_cast<std::int32_t>(found.reach);
        }
        if (n != nullptr) {
            *n = found.n;
        }
        if (value != nullptr) {
            *value = found.value;
        }
        if (value_before != nullptr) {
            *value_before = found.previous;
        }
        if (outside_n != nullptr) {
            *outside_n = found.outside_n;
        }
        write_message(note, note_size, text);
        return status;
    };
    if (host == nullptr) {
        return answer(CVHOST_STATUS_NO_RESULT, none, "");
    }
    try {
        core::Curve curve = curve_of(*host->loaded, method);
        if (!curve.method() || core::level_rejected(curve, alpha) || std::isnan(threshold)) {
            return answer(CVHOST_STATUS_INVALID_ARGUMENT, none, "");
        }
        const core::ThresholdReach found = core::reach(curve, alpha, threshold);
        return answer(CVHOST_STATUS_OK, found, core::explain_reach(found, alpha, threshold, *curve.method()));
    } catch (const std::length_error&) {
        return answer(CVHOST_STATUS_INVALID_ARGUMENT, none, "");
    } catch (...) {
        return answer(CVHOST_STATUS_NO_RESULT, none, "");
    }
}

int cvhost_info_field(cvhost* host, std::size_t index, const char** name, const char** value)
{
    const bool exists = host != nullptr && index < host->fields.size();
    if (name != nullptr) {
        *name = exists ? host->fields[index].name.c_str() : nullptr;
    }
    if (value != nullptr) {
        *value = exists ? host->fields[index].value.c_str() : nullptr;
    }
    return exists ? 1 : 0;
}

}  // extern "C"

// The outlier calls: input the core cannot take is an OutlierInputError,
// a level without a value a NoCriticalValue; both carry the reason.
namespace {

// Runs body and turns what it throws into a status and a message.
template <class Body>
std::int32_t outlier_call(char* message, std::size_t message_size, Body body)
{
    return status_of_call<core::OutlierInputError>(message, message_size, body);
}

// The arrays every outlier call reads, checked before anything is read.
void check_arrays(std::size_t n, const double* residuals, std::size_t k, const double* pi)
{
    if (n == 0) {
        throw core::OutlierInputError("no residuals (n = 0)");
    }
    if (residuals == nullptr) {
        throw core::OutlierInputError("residuals is NULL");
    }
    if (k > 0 && pi == nullptr) {
        throw core::OutlierInputError("pi is NULL but k = " + std::to_string(k));
    }
}

std::span<const double> weights(std::size_t k, const double* pi)
{
    return k > 0 ? std::span<const double>(pi, k) : std::span<const double>();
}

std::span<double> output(std::size_t n, double* values)
{
    return values != nullptr ? std::span<double>(values, n) : std::span<double>();
}

const char* const TYPE_CODES = "CVHOST_OUTLIER_IO (1), _AO (2), _LS (4) or _TC (8)";

// These calls take no period, which a seasonal level shift needs.
void refuse_seasonal(bool asked)
{
    if (asked) {
        throw core::OutlierInputError("CVHOST_OUTLIER_SLS (16) needs the model's seasonal period, which this call "
                                      "does not take: cvhost_find_outliers does");
    }
}

}  // namespace

extern "C" {

std::int32_t cvhost_outlier_statistics(std::size_t n, const double* residuals, std::size_t k, const double* pi,
                                       std::int32_t type, double delta, double sigma, double* effects,
                                       double* tstats, char* message, std::size_t message_size)
{
    return outlier_call(message, message_size, [&] {
        check_arrays(n, residuals, k, pi);
        const std::optional<core::OutlierType> outlier = core::outlier_type_of(type);
        refuse_seasonal(outlier == core::OutlierType::seasonal_level_shift);
        if (!outlier) {
            throw core::OutlierInputError("type " + std::to_string(type) + " is not one outlier type: " +
                                            TYPE_CODES);
        }
        core::outlier_statistics({residuals, n}, weights(k, pi), *outlier, delta, 0,
                                   std::isnan(sigma) ? std::nullopt : std::optional<double>(sigma),
                                   output(n, effects), output(n, tstats));
    });
}

std::int32_t cvhost_locate_outliers(cvhost* host, std::size_t n, const double* residuals, std::size_t k,
                                    const double* pi, std::int32_t types, double delta, double alpha,
                                    const char* method, double critical_value, std::size_t capacity,
                                    std::size_t* index, std::int32_t* type, double* effect, double* tstat,
                                    std::size_t* count, double* used_critical_value, char* message,
                                    std::size_t message_size)
{
    if (count != nullptr) {
        *count = 0;
    }
    if (used_critical_value != nullptr) {
        *used_critical_value = std::numeric_limits<double>::quiet_NaN();
    }
    return outlier_call(message, message_size, [&] {
        check_arrays(n, residuals, k, pi);
        const std::optional<core::OutlierTypes> set = core::OutlierTypes::of_bits(types);
        if (!set) {
            throw core::OutlierInputError("types " + std::to_string(types) +
                                            " has a bit that names no outlier type: an OR of " + TYPE_CODES);
        }
        refuse_seasonal(set->contains(core::OutlierType::seasonal_level_shift));
        const std::span<const double> e(residuals, n);
        core::check_outlier_input(e, weights(k, pi), *set, delta, 0);
        double threshold = critical_value;
        if (std::isnan(critical_value)) {
            if (host == nullptr) {
                throw core::OutlierInputError("host is NULL: LJUNGCV's critical value needs the module "
                                                "(or give critical_value)");
            }
            std::optional<core::Curve> curve;
            try {
                curve.emplace(*host->loaded, method_text(method));
            } catch (const std::length_error&) {
                throw core::OutlierInputError("the method text is longer than the host can pass");
            }
            threshold = core::outlier_critical_value(*curve, method_text(method), n, alpha);
        }
        const std::vector<core::Outlier> found =
            core::locate_outliers(e, weights(k, pi), *set, delta, 0, threshold);
        for (std::size_t i = 0; i < found.size() && i < capacity; ++i) {
            if (index != nullptr) {
                index[i] = found[i].index;
            }
            if (type != nullptr) {
                type[i] = static_cast<std::int32_t>(found[i].type);
            }
            if (effect != nullptr) {
                effect[i] = found[i].effect;
            }
            if (tstat != nullptr) {
                tstat[i] = found[i].statistic;
            }
        }
        if (count != nullptr) {
            *count = found.size();
        }
        if (used_critical_value != nullptr) {
            *used_critical_value = threshold;
        }
    });
}

}  // extern "C"
