// R's side of LJUNGCV: .Call entries over the stand-in host's C interface
// (cvhost.h). Every value, verdict and stretch comes from the module through
// the core; nothing here computes or checks a critical value itself.
//
// One host per R session, opened on first use and closed when the package's
// library is unloaded: the stand-in host keeps one environment per process.
// cvhost_open(NULL) loads the module beside this library (libs/).
#define R_NO_REMAP
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "cvmodule/cvhost.h"

// INTEGER() vectors receive the host's int32_t codes in place.
static_assert(sizeof(int) == sizeof(std::int32_t));

namespace {

cvhost* the_host_handle = nullptr;

cvhost* host()
{
    if (the_host_handle == nullptr) {
        char message[512] = "";
        the_host_handle = cvhost_open(nullptr, message, sizeof message);
        if (the_host_handle == nullptr) {
            Rf_error("cannot load the cvmodule module: %s", message);
        }
    }
    return the_host_handle;
}

const char* method_text(SEXP method)
{
    if (!Rf_isString(method) || XLENGTH(method) != 1 || STRING_ELT(method, 0) == NA_STRING) {
        Rf_error("'method' must be a single text");
    }
    return CHAR(STRING_ELT(method, 0));
}

}  // namespace

extern "C" {

// Whether the function takes the text as its method: its own reading,
// through the library.
static SEXP ljungcv_method_known(SEXP method)
{
    return Rf_ScalarLogical(cvhost_method_known(method_text(method)));
}

// What a method must be, as the function's rejection of one says it.
static SEXP ljungcv_method_rule()
{
    char text[512];
    cvhost_explain(host(), 10.0, 0.05, "", CVHOST_STATUS_INVALID_ARGUMENT, 3, CVHOST_RANGE_HOLDS, text, sizeof text);
    const char* rule = std::strstr(text, "rejected: ");
    return Rf_mkString(rule != nullptr ? rule + std::strlen("rejected: ") : text);
}

// c(lowest, highest): the levels the function takes.
static SEXP ljungcv_level_range()
{
    SEXP range = PROTECT(Rf_allocVector(REALSXP, 2));
    cvhost_level_range(&REAL(range)[0], &REAL(range)[1]);
    UNPROTECT(1);
    return range;
}

// list(value, status, rejected, range) for LJUNGCV(n[i], alpha[i], method),
// n and alpha double vectors of one length, in one batch. value: the
// module's, NA where none exists, NaN where an argument was rejected; NA
// value, status and range where n or alpha is NA or NaN, as R's distribution
// functions answer. range: the verdict on each value, NULL unless `assess`.
static SEXP ljungcv_assess(SEXP n, SEXP alpha, SEXP method, SEXP assess)
{
    const char* text = method_text(method);
    if (TYPEOF(n) != REALSXP || TYPEOF(alpha) != REALSXP || XLENGTH(n) != XLENGTH(alpha)) {
        Rf_error("'n' and 'alpha' must be double vectors of one length");
    }
    cvhost* h = host();
    const bool with_ranges = Rf_asLogical(assess) == TRUE;
    const R_xlen_t length = XLENGTH(n);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 4));
    SEXP values = SET_VECTOR_ELT(result, 0, Rf_allocVector(REALSXP, length));
    SEXP statuses = SET_VECTOR_ELT(result, 1, Rf_allocVector(INTSXP, length));
    SEXP rejected = SET_VECTOR_ELT(result, 2, Rf_allocVector(INTSXP, length));
    SEXP ranges = with_ranges ? SET_VECTOR_ELT(result, 3, Rf_allocVector(INTSXP, length)) : R_NilValue;
    if (length > 0) {
        const double* counts = REAL_RO(n);
        const double* levels = REAL_RO(alpha);
        double* value = REAL(values);
        int* status = INTEGER(statuses);
        int* range = with_ranges ? INTEGER(ranges) : nullptr;
        cvhost_assess_many(h, static_cast<std::size_t>(length), counts, levels, text, value, status,
                           INTEGER(rejected), range);
        for (R_xlen_t i = 0; i < length; ++i) {
            if (ISNAN(counts[i]) || ISNAN(levels[i])) {
                value[i] = NA_REAL;
                status[i] = NA_INTEGER;
                INTEGER(rejected)[i] = 0;
                if (range != nullptr) {
                    range[i] = NA_INTEGER;
                }
            } else if (status[i] == CVHOST_STATUS_INVALID_ARGUMENT) {
                value[i] = R_NaN;
            } else if (status[i] != CVHOST_STATUS_OK) {
                value[i] = NA_REAL;  // the host's missing value is not R's NA
            }
        }
    }
    UNPROTECT(1);
    return result;
}

// list(from_n, to_n, range, text): the stretches of n where the method's
// value at level alpha holds, is out of range or is missing; NULL when the
// module rejects the level.
static SEXP ljungcv_limits(SEXP method, SEXP alpha)
{
    const char* text = method_text(method);
    const double level = Rf_asReal(alpha);
    cvhost* h = host();
    std::size_t count = 0;
    if (cvhost_limits(h, text, level, 0, nullptr, nullptr, nullptr, &count) != CVHOST_STATUS_OK) {
        return R_NilValue;
    }
    const auto length = static_cast<R_xlen_t>(count);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 4));
    SEXP from_n = SET_VECTOR_ELT(result, 0, Rf_allocVector(REALSXP, length));
    SEXP to_n = SET_VECTOR_ELT(result, 1, Rf_allocVector(REALSXP, length));
    SEXP codes = SET_VECTOR_ELT(result, 2, Rf_allocVector(INTSXP, length));
    SEXP texts = SET_VECTOR_ELT(result, 3, Rf_allocVector(STRSXP, length));
    cvhost_limits(h, text, level, count, REAL(from_n), REAL(to_n), INTEGER(codes), &count);
    for (R_xlen_t i = 0; i < length; ++i) {
        SET_STRING_ELT(texts, i, Rf_mkChar(cvhost_range_text(INTEGER(codes)[i])));
    }
    UNPROTECT(1);
    return result;
}

// list(reach, n, value, value_before, outside_n, note): the inverse look-up
// of the method's curve at level alpha for the threshold, as the C
// interface gives it (reach a CVHOST_REACH_* code; NA where it gives NaN or
// the missing value); NULL when the function rejects the level.
static SEXP ljungcv_reach(SEXP method, SEXP alpha, SEXP threshold)
{
    const char* text = method_text(method);
    cvhost* h = host();
    std::int32_t reach = 0;
    double numbers[4] = {0.0, 0.0, 0.0, 0.0};  // n, value, value_before, outside_n
    char note[512] = "";
    if (cvhost_reach(h, text, Rf_asReal(alpha), Rf_asReal(threshold), &reach, &numbers[0], &numbers[1], &numbers[2],
                     &numbers[3], note, sizeof note) != CVHOST_STATUS_OK) {
        return R_NilValue;
    }
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 6));
    SET_VECTOR_ELT(result, 0, Rf_ScalarInteger(reach));
    for (int i = 0; i < 4; ++i) {
        SET_VECTOR_ELT(result, i + 1, Rf_ScalarReal(ISNAN(numbers[i]) ? NA_REAL : numbers[i]));
    }
    SET_VECTOR_ELT(result, 5, Rf_mkString(note));
    UNPROTECT(1);
    return result;
}

// list(name, value): the module's information as fields, in the command's order.
static SEXP ljungcv_info_fields(void)
{
    cvhost* h = host();
    R_xlen_t count = 0;
    while (cvhost_info_field(h, static_cast<std::size_t>(count), nullptr, nullptr) != 0) {
        ++count;
    }
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 2));
    SEXP names = SET_VECTOR_ELT(result, 0, Rf_allocVector(STRSXP, count));
    SEXP values = SET_VECTOR_ELT(result, 1, Rf_allocVector(STRSXP, count));
    for (R_xlen_t i = 0; i < count; ++i) {
        const char* name = "";
        const char* value = "";
        cvhost_info_field(h, static_cast<std::size_t>(i), &name, &value);
        SET_STRING_ELT(names, i, Rf_mkChar(name));
        SET_STRING_ELT(values, i, Rf_mkChar(value));
    }
    UNPROTECT(1);
    return result;
}

// The residuals and pi weights of a fitted model as the outlier calls take them.
static void outlier_inputs(SEXP residuals, SEXP pi, std::size_t* n, std::size_t* k)
{
    if (TYPEOF(residuals) != REALSXP || TYPEOF(pi) != REALSXP) {
        Rf_error("'residuals' and 'pi' must be double vectors");
    }
    *n = static_cast<std::size_t>(XLENGTH(residuals));
    *k = static_cast<std::size_t>(XLENGTH(pi));
}

// list(effects, tstats): the outlier of `type` (a CVHOST_OUTLIER_* code) at
// every time. delta and sigma as the C call takes them (sigma NaN: the
// default scale). The core's reason becomes the R error.
static SEXP ljungcv_outlier_statistics(SEXP residuals, SEXP pi, SEXP type, SEXP delta, SEXP sigma)
{
    std::size_t n = 0;
    std::size_t k = 0;
    outlier_inputs(residuals, pi, &n, &k);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 2));
    SEXP effects = SET_VECTOR_ELT(result, 0, Rf_allocVector(REALSXP, static_cast<R_xlen_t>(n)));
    SEXP tstats = SET_VECTOR_ELT(result, 1, Rf_allocVector(REALSXP, static_cast<R_xlen_t>(n)));
    char message[512] = "";
    const int status = cvhost_outlier_statistics(n, n > 0 ? REAL_RO(residuals) : nullptr, k,
                                                 k > 0 ? REAL_RO(pi) : nullptr, Rf_asInteger(type),
                                                 Rf_asReal(delta), Rf_asReal(sigma), n > 0 ? REAL(effects) : nullptr,
                                                 n > 0 ? REAL(tstats) : nullptr, message, sizeof message);
    if (status != CVHOST_STATUS_OK) {
        UNPROTECT(1);
        Rf_error("%s", message);
    }
    UNPROTECT(1);
    return result;
}

// list(index, type, effect, tstat, critical_value): the locate stage, the
// outliers in the order found (index 0-based, type a CVHOST_OUTLIER_* code).
// method NULL: the function's default; cval NaN: LJUNGCV(n, alpha, method).
static SEXP ljungcv_locate_outliers(SEXP residuals, SEXP pi, SEXP types, SEXP delta, SEXP alpha, SEXP method,
                                    SEXP cval)
{
    std::size_t n = 0;
    std::size_t k = 0;
    outlier_inputs(residuals, pi, &n, &k);
    const char* text = Rf_isNull(method) ? nullptr : method_text(method);
    cvhost* h = host();
    const double* e = n > 0 ? REAL_RO(residuals) : nullptr;
    const double* weights = k > 0 ? REAL_RO(pi) : nullptr;
    std::size_t count = 0;
    double used = 0.0;
    char message[512] = "";
    // Room for every time (a time is taken once), so one pass finds them
    // all. R_alloc: freed by R when the call ends, also when Rf_error leaves it.
    const std::size_t room = n > 0 ? n : 1;
    auto* index = reinterpret_cast<std::size_t*>(R_alloc(room, sizeof(std::size_t)));
    auto* kind = reinterpret_cast<int*>(R_alloc(room, sizeof(int)));
    auto* effect = reinterpret_cast<double*>(R_alloc(room, sizeof(double)));
    auto* tstat = reinterpret_cast<double*>(R_alloc(room, sizeof(double)));
    const int status = cvhost_locate_outliers(h, n, e, k, weights, Rf_asInteger(types), Rf_asReal(delta),
                                              Rf_asReal(alpha), text, Rf_asReal(cval), n, index, kind, effect,
                                              tstat, &count, &used, message, sizeof message);
    if (status != CVHOST_STATUS_OK) {
        Rf_error("%s", message);
    }
    const auto length = static_cast<R_xlen_t>(count);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 5));
    SEXP times = SET_VECTOR_ELT(result, 0, Rf_allocVector(REALSXP, length));
    SEXP kinds = SET_VECTOR_ELT(result, 1, Rf_allocVector(INTSXP, length));
    SEXP effects = SET_VECTOR_ELT(result, 2, Rf_allocVector(REALSXP, length));
    SEXP tstats = SET_VECTOR_ELT(result, 3, Rf_allocVector(REALSXP, length));
    SET_VECTOR_ELT(result, 4, Rf_ScalarReal(used));
    for (std::size_t i = 0; i < count; ++i) {
        REAL(times)[i] = static_cast<double>(index[i]);
        INTEGER(kinds)[i] = kind[i];
        REAL(effects)[i] = effect[i];
        REAL(tstats)[i] = tstat[i];
    }
    UNPROTECT(1);
    return result;
}

static SEXP doubles_of(const double* values, std::size_t count)
{
    SEXP vector = Rf_allocVector(REALSXP, static_cast<R_xlen_t>(count));
    if (count > 0) {
        std::memcpy(REAL(vector), values, count * sizeof(double));
    }
    return vector;
}

}  // extern "C"

namespace {

// The model part of the fit options, from what R's model_arguments()
// (R/model.R) prepares: y (NA or NaN a missing value); orders p, d, q, P,
// D, Q, period; xreg a column-major matrix or NULL, with one name per
// column; mean -1 (a mean when d + D = 0), 0 or 1. The options point into
// y, xreg and memory R frees when the .Call returns.
void model_options(cvhost_fit_options* options, SEXP y, SEXP orders, SEXP xreg, SEXP names, SEXP mean)
{
    if (!Rf_isReal(y) || !Rf_isInteger(orders) || XLENGTH(orders) != 7 || !Rf_isString(names) ||
        (!Rf_isNull(xreg) && !Rf_isReal(xreg))) {
        Rf_error("the model's arguments are not of the types the package passes");
    }
    const auto n = static_cast<std::size_t>(XLENGTH(y));
    const auto columns = static_cast<std::size_t>(XLENGTH(names));
    if (Rf_isNull(xreg) ? columns != 0 : static_cast<std::size_t>(XLENGTH(xreg)) != n * columns) {
        Rf_error("'xreg' must have one row per value of 'x' and one name per column");
    }
    // R_alloc, not a std::vector: Rf_error may leave this frame at any allocation.
    const char** xreg_names =
        columns > 0 ? reinterpret_cast<const char**>(R_alloc(columns, sizeof(const char*))) : nullptr;
    for (std::size_t j = 0; j < columns; ++j) {
        xreg_names[j] = Rf_translateCharUTF8(STRING_ELT(names, static_cast<R_xlen_t>(j)));
    }
    const int* o = INTEGER(orders);
    options->y = n > 0 ? REAL_RO(y) : nullptr;
    options->n = n;
    options->p = o[0];
    options->d = o[1];
    options->q = o[2];
    options->P = o[3];
    options->D = o[4];
    options->Q = o[5];
    options->period = o[6];
    options->xreg = columns > 0 ? REAL_RO(xreg) : nullptr;
    options->xreg_columns = columns;
    options->xreg_names = xreg_names;
    options->include_mean = Rf_asInteger(mean);
}

// The model of a fit: p, d, q, P, D, Q, period. Not protected.
SEXP order_of(const cvhost_fit* fit)
{
    SEXP order = Rf_allocVector(INTSXP, 7);
    cvhost_fit_order(fit, INTEGER(order));
    return order;
}

// list(order, orders, constants, aicc, outcome, reason, seasonal_strength,
// kpss_statistics, kpss_p_values, bound_reached): how the model of an
// identified fit was chosen (order_of; the candidates' orders six a
// candidate, whether each had the constant, their AICc, outcomes and
// reasons; the differencing's evidence; whether the search stopped at its
// bound), which R's identification_frame() (R/model.R) reads; NULL for a
// fit whose model was given. Not protected.
SEXP identification_fields(const cvhost_fit* fit)
{
    if (fit == nullptr || cvhost_fit_identified(fit) == 0) {
        return R_NilValue;
    }
    const std::size_t count = cvhost_fit_candidate_count(fit);
    const auto length = static_cast<R_xlen_t>(count);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 10));
    SET_VECTOR_ELT(result, 0, order_of(fit));
    SEXP orders = SET_VECTOR_ELT(result, 1, Rf_allocVector(INTSXP, length * 6));
    SEXP constants = SET_VECTOR_ELT(result, 2, Rf_allocVector(INTSXP, length));
    if (count > 0) {
        std::memcpy(INTEGER(orders), cvhost_fit_candidate_orders(fit), count * 6 * sizeof(std::int32_t));
        std::memcpy(INTEGER(constants), cvhost_fit_candidate_constants(fit), count * sizeof(std::int32_t));
    }
    SET_VECTOR_ELT(result, 3, doubles_of(cvhost_fit_candidate_aicc(fit), count));
    SEXP outcomes = SET_VECTOR_ELT(result, 4, Rf_allocVector(STRSXP, length));
    SEXP reasons = SET_VECTOR_ELT(result, 5, Rf_allocVector(STRSXP, length));
    for (std::size_t i = 0; i < count; ++i) {
        SET_STRING_ELT(outcomes, static_cast<R_xlen_t>(i), Rf_mkCharCE(cvhost_fit_candidate_outcome(fit, i), CE_UTF8));
        SET_STRING_ELT(reasons, static_cast<R_xlen_t>(i), Rf_mkCharCE(cvhost_fit_candidate_reason(fit, i), CE_UTF8));
    }
    SET_VECTOR_ELT(result, 6, Rf_ScalarReal(cvhost_fit_seasonal_strength(fit)));
    const std::size_t tests = cvhost_fit_kpss_count(fit);
    SET_VECTOR_ELT(result, 7, doubles_of(cvhost_fit_kpss_statistics(fit), tests));
    SET_VECTOR_ELT(result, 8, doubles_of(cvhost_fit_kpss_p_values(fit), tests));
    SET_VECTOR_ELT(result, 9, Rf_ScalarLogical(cvhost_fit_model_bound_reached(fit) != 0 ? TRUE : FALSE));
    UNPROTECT(1);
    return result;
}

// list(names, coef, se, cov, sigma2, loglik, aic, aicc, bic, nobs,
// residuals, pi, psi, converged, message, iterations, order,
// identification): a copy of the fit of a series of n values, which R's
// arima_object() (R/arima.R) names (order: order_of; identification:
// identification_fields). Not protected.
SEXP fit_fields(const cvhost_fit* fit, std::size_t n)
{
    const std::size_t k = cvhost_fit_coefficient_count(fit);
    const std::size_t w = cvhost_fit_weight_count(fit);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 18));
    SEXP coefficient_names = SET_VECTOR_ELT(result, 0, Rf_allocVector(STRSXP, static_cast<R_xlen_t>(k)));
    for (std::size_t i = 0; i < k; ++i) {
        SET_STRING_ELT(coefficient_names, static_cast<R_xlen_t>(i),
                       Rf_mkCharCE(cvhost_fit_coefficient_name(fit, i), CE_UTF8));
    }
    SET_VECTOR_ELT(result, 1, doubles_of(cvhost_fit_coefficients(fit), k));
    SET_VECTOR_ELT(result, 2, doubles_of(cvhost_fit_standard_errors(fit), k));
    SET_VECTOR_ELT(result, 3, doubles_of(cvhost_fit_covariance(fit), k * k));
    SET_VECTOR_ELT(result, 4, Rf_ScalarReal(cvhost_fit_sigma2(fit)));
    SET_VECTOR_ELT(result, 5, Rf_ScalarReal(cvhost_fit_loglik(fit)));
    SET_VECTOR_ELT(result, 6, Rf_ScalarReal(cvhost_fit_aic(fit)));
    SET_VECTOR_ELT(result, 7, Rf_ScalarReal(cvhost_fit_aicc(fit)));
    SET_VECTOR_ELT(result, 8, Rf_ScalarReal(cvhost_fit_bic(fit)));
    SET_VECTOR_ELT(result, 9, Rf_ScalarReal(static_cast<double>(cvhost_fit_nobs(fit))));
    SET_VECTOR_ELT(result, 10, doubles_of(cvhost_fit_residuals(fit), n));
    SET_VECTOR_ELT(result, 11, doubles_of(cvhost_fit_pi_weights(fit), w));
    SET_VECTOR_ELT(result, 12, doubles_of(cvhost_fit_psi_weights(fit), w));
    SET_VECTOR_ELT(result, 13, Rf_ScalarLogical(cvhost_fit_converged(fit)));
    SET_VECTOR_ELT(result, 14, Rf_mkString(cvhost_fit_message(fit)));
    SET_VECTOR_ELT(result, 15, Rf_ScalarInteger(cvhost_fit_iterations(fit)));
    SET_VECTOR_ELT(result, 16, order_of(fit));
    SET_VECTOR_ELT(result, 17, identification_fields(fit));
    UNPROTECT(1);
    return result;
}

// A fit and the procedure's result are each held by an external pointer
// whose finalizer frees them, so that an R error while their results are
// copied out leaks nothing.
void free_fit(SEXP pointer)
{
    cvhost_fit_free(static_cast<cvhost_fit*>(R_ExternalPtrAddr(pointer)));
    R_ClearExternalPtr(pointer);
}

void free_outliers(SEXP pointer)
{
    cvhost_outliers_free(static_cast<cvhost_outliers*>(R_ExternalPtrAddr(pointer)));
    R_ClearExternalPtr(pointer);
}

// Ctrl-C while the procedure runs. R_CheckUserInterrupt signals a pending
// interrupt as an R condition and then jumps to R's top level; an
// "interrupt" handler (R_tryCatch) takes the condition, and R_ToplevelExec
// stops any other jump here, so that none crosses the procedure's C++
// frames. Either way the interrupt is consumed; R signals it again once the
// call is over (ljungcv_outliers, R/outliers.R).
SEXP check_user_interrupt(void* /*unused*/)
{
    R_CheckUserInterrupt();
    return R_NilValue;
}

SEXP note_interrupt(SEXP /*condition*/, void* pending)
{
    *static_cast<int*>(pending) = 1;
    return R_NilValue;
}

void catch_user_interrupt(void* pending)
{
    SEXP classes = PROTECT(Rf_mkString("interrupt"));
    R_tryCatch(check_user_interrupt, nullptr, classes, note_interrupt, pending, nullptr, nullptr);
    UNPROTECT(1);
}

// The procedure's stop hook: 1 when the user pressed Ctrl-C.
int interrupt_pending(void* /*unused*/)
{
    int pending = 0;
    const Rboolean completed = R_ToplevelExec(catch_user_interrupt, &pending);
    return pending != 0 || !completed ? 1 : 0;
}

// Ctrl-C while a batch runs. Its workers ask the stop hook from threads of
// their own, where R's API must not be called; so the batch runs on a
// thread of its own, R's thread asks interrupt_pending every
// INTERRUPT_POLL until the batch is done, and the hook reads the flag it
// raises.
constexpr std::chrono::milliseconds INTERRUPT_POLL{20};

int flag_raised(void* flag)
{
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed) ? 1 : 0;
}

// cvhost_find_outliers_batch with Ctrl-C watched as above (the stop hooks
// of options and of identify, the options' identification or NULL, are
// replaced); its status, or CVHOST_STATUS_NO_RESULT with a
// message when no thread could be started for it.
std::int32_t batch_watching_interrupts(cvhost* h, cvhost_outlier_options* options, cvhost_identify_options* identify,
                                       std::size_t count, const double* const* series, const std::size_t* lengths,
                                       unsigned workers, cvhost_batch** result, char* message,
                                       std::size_t message_size)
{
    std::atomic<bool> interrupted{false};
    options->stop_requested = flag_raised;
    options->stop_context = &interrupted;
    if (identify != nullptr) {
        identify->stop_requested = flag_raised;
        identify->stop_context = &interrupted;
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::int32_t status = CVHOST_STATUS_NO_RESULT;
    std::thread runner;
    try {
        runner = std::thread([&] {
            const std::int32_t outcome =
                cvhost_find_outliers_batch(h, options, count, series, lengths, workers, result, message, message_size);
            const std::lock_guard<std::mutex> lock(mutex);
            status = outcome;
            done = true;
            finished.notify_one();
        });
    } catch (const std::exception& e) {
        std::snprintf(message, message_size, "cannot start a thread for the batch: %s", e.what());
        return CVHOST_STATUS_NO_RESULT;
    }
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, INTERRUPT_POLL, [&done] { return done; })) {
        lock.unlock();
        if (!interrupted.load(std::memory_order_relaxed) && interrupt_pending(nullptr) != 0) {
            interrupted.store(true, std::memory_order_relaxed);
        }
        lock.lock();
    }
    lock.unlock();
    runner.join();
    return status;
}

void free_batch(SEXP pointer)
{
    cvhost_batch_free(static_cast<cvhost_batch*>(R_ExternalPtrAddr(pointer)));
    R_ClearExternalPtr(pointer);
}

}  // namespace

extern "C" {

// The flags of a result, in the order R reads them: reached bound, rounds
// exhausted, short series, heavy tails.
constexpr int CAUTION_COUNT = 4;
constexpr std::int32_t CAUTION_FLAGS[CAUTION_COUNT] = {CVHOST_OUTLIERS_REACHED_BOUND, CVHOST_OUTLIERS_ROUNDS_EXHAUSTED,
                                                       CVHOST_OUTLIERS_SHORT_SERIES, CVHOST_OUTLIERS_HEAVY_TAILS};

// The procedure's options but the model: types (an OR of CVHOST_OUTLIER_*
// bits), delta, alpha, method, critical_value, max_rounds, resamples and
// seed (a whole double); NULL takes the C interface's default.
static void procedure_options(cvhost_outlier_options* options, SEXP types, SEXP delta, SEXP alpha, SEXP method,
                              SEXP critical_value, SEXP max_rounds, SEXP resamples, SEXP seed)
{
    cvhost_outlier_options_init(options, CVHOST_OUTLIER_OPTIONS_VERSION);
    if (!Rf_isNull(types)) {
        options->types = Rf_asInteger(types);
    }
    if (!Rf_isNull(delta)) {
        options->delta = Rf_asReal(delta);
    }
    if (!Rf_isNull(alpha)) {
        options->alpha = Rf_asReal(alpha);
    }
    if (!Rf_isNull(method)) {
        options->method = method_text(method);
    }
    if (!Rf_isNull(critical_value)) {
        options->critical_value = Rf_asReal(critical_value);
    }
    if (!Rf_isNull(max_rounds)) {
        options->max_rounds = Rf_asInteger(max_rounds);
    }
    if (!Rf_isNull(resamples)) {
        options->resamples = Rf_asInteger(resamples);
    }
    if (!Rf_isNull(seed)) {
        options->seed = static_cast<std::uint64_t>(Rf_asReal(seed));  // R checked: a whole number, 0 to 2^53
    }
}

// The identification's options from R's identify_arguments() (R/model.R):
// NULL, none (the model is given: false); else ten whole numbers, d, D,
// max_p, max_q, max_P, max_Q, stepwise, max_order, allow_constant,
// max_models, NA leaving the C interface's default; the core checks them.
// The stop hook is interrupt_pending.
static bool identify_options(cvhost_identify_options* options, SEXP identify)
{
    if (Rf_isNull(identify)) {
        return false;
    }
    if (!Rf_isInteger(identify) || XLENGTH(identify) != 10) {
        Rf_error("the identification's arguments are not of the types the package passes");
    }
    cvhost_identify_options_init(options, CVHOST_IDENTIFY_OPTIONS_VERSION);
    int* const fields[10] = {&options->d,     &options->D,        &options->max_p,    &options->max_q,
                             &options->max_P, &options->max_Q,    &options->stepwise, &options->max_order,
                             &options->allow_constant, &options->max_models};
    for (int i = 0; i < 10; ++i) {
        if (INTEGER(identify)[i] != NA_INTEGER) {
            *fields[i] = INTEGER(identify)[i];
        }
    }
    options->stop_requested = interrupt_pending;
    return true;
}

// The fit of y under the model (see model_options), with a drift when
// drift is 1, in at most `iterations` steps of the search: fit_fields. With
// identify (see identify_options) the model is identified from the series
// (orders gives its period alone); NULL when the user interrupted that.
static SEXP ljungcv_fit_arima(SEXP y, SEXP orders, SEXP xreg, SEXP names, SEXP mean, SEXP drift, SEXP iterations,
                              SEXP identify)
{
    cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
    model_options(&options, y, orders, xreg, names, mean);
    options.include_drift = Rf_asInteger(drift);
    options.max_iterations = Rf_asInteger(iterations);
    cvhost_identify_options how;
    const bool identified = identify_options(&how, identify);
    cvhost_fit* made = nullptr;
    char message[512] = "";
    const std::int32_t status = identified ? cvhost_identify_arima(&options, &how, &made, message, sizeof message)
                                           : cvhost_fit_arima(&options, &made, message, sizeof message);
    if (status == CVHOST_STATUS_STOPPED) {
        return R_NilValue;
    }
    if (status != CVHOST_STATUS_OK) {
        Rf_error("%s", message);
    }
    SEXP holder = PROTECT(R_MakeExternalPtr(made, R_NilValue, R_NilValue));
    R_RegisterCFinalizerEx(holder, free_fit, TRUE);
    SEXP result = PROTECT(fit_fields(made, options.n));
    free_fit(holder);
    UNPROTECT(2);
    return result;
}

// The whole outlier procedure on y under the model (see model_options),
// the other options as procedure_options reads them.
// Returns list(index (0-based), type (a CVHOST_OUTLIER_* code), effect,
// tstat, critical_value, tested, rounds, flags (reached bound, rounds
// exhausted, short series, heavy tails), excess_kurtosis,
// kurtosis_p_value, adjusted, fit (fit_fields), calibrated, tail_dof,
// identification (NULL, or with identify, see identify_options, the
// identification_fields of the series and of the adjusted series)); the
// core's reason as a text when it refuses; NULL when the user interrupted it.
static SEXP ljungcv_find_outliers(SEXP y, SEXP orders, SEXP xreg, SEXP names, SEXP mean, SEXP types, SEXP delta,
                                  SEXP alpha, SEXP method, SEXP critical_value, SEXP max_rounds, SEXP resamples,
                                  SEXP seed, SEXP identify)
{
    cvhost_outlier_options options;
    procedure_options(&options, types, delta, alpha, method, critical_value, max_rounds, resamples, seed);
    model_options(&options.model, y, orders, xreg, names, mean);
    options.stop_requested = interrupt_pending;
    cvhost_identify_options how;
    if (identify_options(&how, identify)) {
        options.identify = &how;
    }
    cvhost_outliers* made = nullptr;
    char message[512] = "";
    const std::int32_t status = cvhost_find_outliers(host(), &options, &made, message, sizeof message);
    if (status == CVHOST_STATUS_STOPPED) {
        return R_NilValue;
    }
    if (status != CVHOST_STATUS_OK) {
        return Rf_ScalarString(Rf_mkCharCE(message, CE_UTF8));
    }
    SEXP holder = PROTECT(R_MakeExternalPtr(made, R_NilValue, R_NilValue));
    R_RegisterCFinalizerEx(holder, free_outliers, TRUE);
    const std::size_t count = cvhost_outliers_count(made);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 15));
    SEXP index = SET_VECTOR_ELT(result, 0, Rf_allocVector(REALSXP, static_cast<R_xlen_t>(count)));
    SEXP type = SET_VECTOR_ELT(result, 1, Rf_allocVector(INTSXP, static_cast<R_xlen_t>(count)));
    for (std::size_t i = 0; i < count; ++i) {
        REAL(index)[i] = static_cast<double>(cvhost_outliers_index(made)[i]);
        INTEGER(type)[i] = cvhost_outliers_type(made)[i];
    }
    SET_VECTOR_ELT(result, 2, doubles_of(cvhost_outliers_effect(made), count));
    SET_VECTOR_ELT(result, 3, doubles_of(cvhost_outliers_tstat(made), count));
    SET_VECTOR_ELT(result, 4, Rf_ScalarReal(cvhost_outliers_critical_value(made)));
    SET_VECTOR_ELT(result, 5, Rf_ScalarReal(static_cast<double>(cvhost_outliers_tested(made))));
    SET_VECTOR_ELT(result, 6, Rf_ScalarInteger(cvhost_outliers_rounds(made)));
    const std::int32_t flags = cvhost_outliers_flags(made);
    SEXP flag = SET_VECTOR_ELT(result, 7, Rf_allocVector(LGLSXP, CAUTION_COUNT));
    for (int i = 0; i < CAUTION_COUNT; ++i) {
        LOGICAL(flag)[i] = (flags & CAUTION_FLAGS[i]) != 0 ? TRUE : FALSE;
    }
    SET_VECTOR_ELT(result, 8, Rf_ScalarReal(cvhost_outliers_excess_kurtosis(made)));
    SET_VECTOR_ELT(result, 9, Rf_ScalarReal(cvhost_outliers_kurtosis_p_value(made)));
    SET_VECTOR_ELT(result, 10, doubles_of(cvhost_outliers_adjusted(made), options.model.n));
    SET_VECTOR_ELT(result, 11, fit_fields(cvhost_outliers_fit(made), options.model.n));
    SET_VECTOR_ELT(result, 12, Rf_ScalarLogical(cvhost_outliers_calibrated(made) != 0 ? TRUE : FALSE));
    SET_VECTOR_ELT(result, 13, Rf_ScalarReal(cvhost_outliers_tail_dof(made)));
    if (options.identify != nullptr) {
        SEXP both = SET_VECTOR_ELT(result, 14, Rf_allocVector(VECSXP, 2));
        for (std::size_t which = 0; which < 2; ++which) {
            SET_VECTOR_ELT(both, static_cast<R_xlen_t>(which),
                           identification_fields(cvhost_outliers_identification(made, which)));
        }
    }
    free_outliers(holder);
    UNPROTECT(2);
    return result;
}

// The outlier procedure on every series of `series` (a list of double
// vectors, NA or NaN a missing value) under one model without regressors
// (orders and mean as model_options takes them), the other options as
// procedure_options reads them, in one batch call on `workers` threads (0:
// one per core), the model identified for each series alone with identify
// (see identify_options). Returns list(status, message, tested,
// critical_value, flags, found, index, type, effect, tstat, order): a
// series' CVHOST_STATUS_* code,
// its message ("" when it has a result), residuals tested, critical value,
// flags (a series-by-CAUTION_FLAGS logical matrix) and count of outliers,
// NA where it has no result; then the outliers of every series, series
// after series, each's in time order (index 0-based, type a
// CVHOST_OUTLIER_* code); last the final model of every series (a
// 7-by-series integer matrix of order_of, NA where a series has no result).
// The core's reason as a text when it refuses the whole batch; NULL when the
// user interrupted it.
static SEXP ljungcv_screen_outliers(SEXP series, SEXP orders, SEXP mean, SEXP types, SEXP delta, SEXP alpha,
                                    SEXP method, SEXP critical_value, SEXP max_rounds, SEXP resamples, SEXP seed,
                                    SEXP workers, SEXP identify)
{
    if (TYPEOF(series) != VECSXP) {
        Rf_error("'series' must be a list of double vectors");
    }
    const auto count = static_cast<std::size_t>(XLENGTH(series));
    // R_alloc: freed by R when the call ends, also when Rf_error leaves it.
    const double** values =
        count > 0 ? reinterpret_cast<const double**>(R_alloc(count, sizeof(const double*))) : nullptr;
    std::size_t* lengths = count > 0 ? reinterpret_cast<std::size_t*>(R_alloc(count, sizeof(std::size_t))) : nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        SEXP one = VECTOR_ELT(series, static_cast<R_xlen_t>(i));
        if (TYPEOF(one) != REALSXP) {
            Rf_error("'series' must be a list of double vectors");
        }
        lengths[i] = static_cast<std::size_t>(XLENGTH(one));
        values[i] = lengths[i] > 0 ? REAL_RO(one) : nullptr;
    }
    cvhost_outlier_options options;
    procedure_options(&options, types, delta, alpha, method, critical_value, max_rounds, resamples, seed);
    SEXP no_values = PROTECT(Rf_allocVector(REALSXP, 0));
    SEXP no_names = PROTECT(Rf_allocVector(STRSXP, 0));
    model_options(&options.model, no_values, orders, R_NilValue, no_names, mean);
    cvhost_identify_options how;
    if (identify_options(&how, identify)) {
        options.identify = &how;
    }
    cvhost* h = host();
    cvhost_batch* made = nullptr;
    char message[512] = "";
    const std::int32_t status = batch_watching_interrupts(h, &options, options.identify != nullptr ? &how : nullptr,
                                                          count, values, lengths,
                                                          static_cast<unsigned>(Rf_asInteger(workers)), &made,
                                                          message, sizeof message);
    UNPROTECT(2);
    if (status == CVHOST_STATUS_STOPPED) {
        return R_NilValue;
    }
    if (status != CVHOST_STATUS_OK) {
        return Rf_ScalarString(Rf_mkCharCE(message, CE_UTF8));
    }
    SEXP holder = PROTECT(R_MakeExternalPtr(made, R_NilValue, R_NilValue));
    R_RegisterCFinalizerEx(holder, free_batch, TRUE);
    const auto length = static_cast<R_xlen_t>(count);
    SEXP result = PROTECT(Rf_allocVector(VECSXP, 11));
    SEXP statuses = SET_VECTOR_ELT(result, 0, Rf_allocVector(INTSXP, length));
    SEXP messages = SET_VECTOR_ELT(result, 1, Rf_allocVector(STRSXP, length));
    SEXP tested = SET_VECTOR_ELT(result, 2, Rf_allocVector(REALSXP, length));
    SEXP used = SET_VECTOR_ELT(result, 3, Rf_allocVector(REALSXP, length));
    SEXP flags = SET_VECTOR_ELT(result, 4, Rf_allocMatrix(LGLSXP, static_cast<int>(length), CAUTION_COUNT));
    SEXP found = SET_VECTOR_ELT(result, 5, Rf_allocVector(INTSXP, length));
    SEXP models = SET_VECTOR_ELT(result, 10, Rf_allocMatrix(INTSXP, 7, static_cast<int>(length)));
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto r = static_cast<R_xlen_t>(i);
        const cvhost_outliers* one = cvhost_batch_outliers(made, i);
        int* model = INTEGER(models) + 7 * r;
        if (one == nullptr || cvhost_fit_order(cvhost_outliers_fit(one), model) != CVHOST_STATUS_OK) {
            std::fill(model, model + 7, NA_INTEGER);
        }
        INTEGER(statuses)[r] = cvhost_batch_status(made, i);
        SET_STRING_ELT(messages, r, Rf_mkCharCE(cvhost_batch_message(made, i), CE_UTF8));
        REAL(tested)[r] = one != nullptr ? static_cast<double>(cvhost_outliers_tested(one)) : NA_REAL;
        REAL(used)[r] = one != nullptr ? cvhost_outliers_critical_value(one) : NA_REAL;
        const std::int32_t bits = cvhost_outliers_flags(one);
        for (int k = 0; k < CAUTION_COUNT; ++k) {
            LOGICAL(flags)[r + static_cast<R_xlen_t>(k) * length] =
                one == nullptr ? NA_LOGICAL : (bits & CAUTION_FLAGS[k]) != 0 ? TRUE : FALSE;
        }
        INTEGER(found)[r] = one != nullptr ? static_cast<int>(cvhost_outliers_count(one)) : NA_INTEGER;
        total += cvhost_outliers_count(one);
    }
    const auto all = static_cast<R_xlen_t>(total);
    SEXP index = SET_VECTOR_ELT(result, 6, Rf_allocVector(REALSXP, all));
    SEXP type = SET_VECTOR_ELT(result, 7, Rf_allocVector(INTSXP, all));
    SEXP effect = SET_VECTOR_ELT(result, 8, Rf_allocVector(REALSXP, all));
    SEXP tstat = SET_VECTOR_ELT(result, 9, Rf_allocVector(REALSXP, all));
    R_xlen_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const cvhost_outliers* one = cvhost_batch_outliers(made, i);
        for (std::size_t j = 0; j < cvhost_outliers_count(one); ++j, ++at) {
            REAL(index)[at] = static_cast<double>(cvhost_outliers_index(one)[j]);
            INTEGER(type)[at] = cvhost_outliers_type(one)[j];
            REAL(effect)[at] = cvhost_outliers_effect(one)[j];
            REAL(tstat)[at] = cvhost_outliers_tstat(one)[j];
        }
    }
    free_batch(holder);
    UNPROTECT(2);
    return result;
}

static const R_CallMethodDef CALL_ENTRIES[] = {
    {"C_assess", reinterpret_cast<DL_FUNC>(&ljungcv_assess), 4},
    {"C_method_known", reinterpret_cast<DL_FUNC>(&ljungcv_method_known), 1},
    {"C_method_rule", reinterpret_cast<DL_FUNC>(&ljungcv_method_rule), 0},
    {"C_level_range", reinterpret_cast<DL_FUNC>(&ljungcv_level_range), 0},
    {"C_limits", reinterpret_cast<DL_FUNC>(&ljungcv_limits), 2},
    {"C_reach", reinterpret_cast<DL_FUNC>(&ljungcv_reach), 3},
    {"C_info_fields", reinterpret_cast<DL_FUNC>(&ljungcv_info_fields), 0},
    {"C_outlier_statistics", reinterpret_cast<DL_FUNC>(&ljungcv_outlier_statistics), 5},
    {"C_locate_outliers", reinterpret_cast<DL_FUNC>(&ljungcv_locate_outliers), 7},
    {"C_fit_arima", reinterpret_cast<DL_FUNC>(&ljungcv_fit_arima), 8},
    {"C_find_outliers", reinterpret_cast<DL_FUNC>(&ljungcv_find_outliers), 14},
    {"C_screen_outliers", reinterpret_cast<DL_FUNC>(&ljungcv_screen_outliers), 13},
    {nullptr, nullptr, 0},
};

void R_init_ljungcv(DllInfo* dll)
{
    R_registerRoutines(dll, nullptr, CALL_ENTRIES, nullptr, nullptr);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}

void R_unload_ljungcv(DllInfo* dll)
{
    (void)dll;
    if (the_host_handle != nullptr) {
        cvhost_close(the_host_handle);
        the_host_handle = nullptr;
    }
}

}  // extern "C"
