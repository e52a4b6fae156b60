/*
 * cvhost: a C interface to the stand-in host of cvmodule.
 *
 * Loads a cvmodule library the way the Host Toolkit does (mcn_main, image
 * information, descriptor list, registration requests) and evaluates
 * LJUNGCV(n, alpha [, method]) through the entry the module registered.
 * Every value is the module's own, bit for bit.
 *
 *     char message[256];
 *     cvhost *host = cvhost_open(NULL, message, sizeof message);
 *     double value;
 *     if (host == NULL) { fprintf(stderr, "%s\n", message); return 1; }
 *     cvhost_ljungcv(host, 10, 0.05, NULL, &value, NULL);  -> 3.087110344600084
 *     cvhost_close(host);
 *
 * Threads. One handle may be used from several threads at once: it is not
 * changed after cvhost_open, and each evaluation builds its own call frame.
 * (Measured: eight threads sharing one handle, four on each method, ran at
 * once, and those on the default method gave the single-threaded bits;
 * eight Python threads likewise.) cvhost_open and cvhost_close may also be
 * called from several
 * threads. Closing a handle while another thread still uses it is the
 * caller's error, as with free().
 *
 * Several handles. A process has one host environment, as with the real
 * host; every open handle shares it (it is made by the first cvhost_open and
 * ends with the last cvhost_close). A second cvhost_open of the same module,
 * or of another module, works and returns its own handle. libcvhost carries
 * its own copy of the stand-in host: a program that also runs the C++
 * stand-in host (cvmodule::standin) would have two environments, and the
 * module answers to the one that loaded it last, so a program uses one of
 * the two at a time.
 *
 * NULL arguments. cvhost_open(NULL, ...) loads the module installed with
 * this library: the file beside libcvhost (cvhost.dll), else in ../lib
 * relative to it. message may be NULL or message_size 0 (no message).
 * cvhost_close(NULL) does nothing. An evaluation with a NULL host answers
 * CVHOST_STATUS_NO_RESULT and the missing value; a NULL value pointer
 * changes nothing but that no value is written: the status and *rejected
 * are those of the same call with one; rejected may be NULL. cvhost_ljungcv_many with a NULL host or a NULL n or alpha answers
 * CVHOST_STATUS_NO_RESULT and the missing value for every i; values and
 * statuses may each be NULL when the caller does not want them.
 * cvhost_module_info with a NULL host writes "" and returns 0; a NULL buffer
 * with buffer_size 0 returns the length needed. Like snprintf, it returns
 * the whole text's length and writes at most buffer_size - 1 characters and
 * a NUL.
 *
 * The missing value is the double whose bits are 0xFFFFD10000000000; the
 * host treats any double whose top 16 bits are all ones as missing.
 *
 * The header is C89 apart from <stdint.h>, and C++-compatible. Every call
 * is described in the man page cvhost(3).
 */
#ifndef CVMODULE_CVHOST_H
#define CVMODULE_CVHOST_H

#include <stddef.h>
#include <stdint.h>
#include <math.h> /* NAN, in CVHOST_OUTLIER_OPTIONS_INIT */

#if defined(_WIN32)
#if defined(CVHOST_BUILDING)
#define CVHOST_API __declspec(dllexport)
#else
#define CVHOST_API __declspec(dllimport)
#endif
#else
#define CVHOST_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The host's status of an evaluation. */
#define CVHOST_STATUS_OK 0
#define CVHOST_STATUS_NO_RESULT 120833        /* the method has no value there */
#define CVHOST_STATUS_INVALID_ARGUMENT 120836 /* *rejected names the argument */

typedef struct cvhost cvhost;

/* Loads a cvmodule library and registers its functions through the host's path
   (mcn_main, image information, descriptor list, module_query). module_path NULL:
   the module installed with this library. On failure returns NULL and writes a
   one-line reason into message (at most message_size bytes, NUL-terminated). */
CVHOST_API cvhost *cvhost_open(const char *module_path, char *message, size_t message_size);
CVHOST_API void cvhost_close(cvhost *host);

/* One evaluation of LJUNGCV(n, alpha [, method]): method NULL makes the
   two-argument call. Returns the host status (0, 120833, 120836); *value receives
   the result (the host's missing value on failure); *rejected (may be NULL)
   receives 0, or 1..3 for the argument the function flagged. */
CVHOST_API int32_t cvhost_ljungcv(cvhost *host, double n, double alpha, const char *method, double *value,
                                  int *rejected);

/* count evaluations with one method: values[i], statuses[i] for n[i], alpha[i]. */
CVHOST_API void cvhost_ljungcv_many(cvhost *host, size_t count, const double *n, const double *alpha,
                                    const char *method, double *values, int32_t *statuses);

/* The module's image information and version record as text, one "name: value"
   per line, as `ljungcv info` shows it; returns the length written (like snprintf). */
CVHOST_API size_t cvhost_module_info(cvhost *host, char *buffer, size_t buffer_size);

/* ---- Added in 1.1: the calls below are new; every call above is unchanged. ---- */

#define CVHOST_VERSION_MAJOR 1
#define CVHOST_VERSION_MINOR 5
#define CVHOST_VERSION_PATCH 0
/* 10500 for 1.5.0: compare with cvhost_version() to know the library loaded. */
#define CVHOST_VERSION (CVHOST_VERSION_MAJOR * 10000 + CVHOST_VERSION_MINOR * 100 + CVHOST_VERSION_PATCH)

/* Where a value lies against its curve's sensible range. A critical value must
   grow with n and fall as alpha grows; a value below the one at n - 1, or below
   the one at a 1% larger level, breaks that, and a test with it does not hold
   its level. A point without a value is CVHOST_RANGE_HOLDS in a batch (no
   evidence either way) and CVHOST_RANGE_NO_VALUE in a stretch. */
#define CVHOST_RANGE_HOLDS 0
#define CVHOST_RANGE_BELOW_PREVIOUS_N 1   /* below the value at n - 1 */
#define CVHOST_RANGE_BELOW_LARGER_LEVEL 2 /* below the value at a 1% larger level */
#define CVHOST_RANGE_NO_VALUE 3           /* stretches only: no value there */

/* The version of the library loaded, as CVHOST_VERSION gives it for the header. */
CVHOST_API int cvhost_version(void);

/* 1 when x is the host's missing value (its top 16 bits all ones), else 0. */
CVHOST_API int cvhost_is_missing(double x);

/* count evaluations with one method, as cvhost_ljungcv_many, and per element
   the argument the function rejected (0 or 1..3) and the verdict on the value
   (CVHOST_RANGE_HOLDS, _BELOW_PREVIOUS_N or _BELOW_LARGER_LEVEL), both as the
   command gives them. Each output array may be NULL; with ranges NULL no
   verdict is formed and the batch costs what cvhost_ljungcv_many costs. The
   neighbours a verdict needs are evaluated through the same module. */
CVHOST_API void cvhost_assess_many(cvhost *host, size_t count, const double *n, const double *alpha,
                                   const char *method, double *values, int32_t *statuses, int32_t *rejected,
                                   int32_t *ranges);

/* A short name for a host status ("ok", "no result", "invalid argument", or
   "unknown status") and for a CVHOST_RANGE_* value ("holds", "out of range:
   below the value at n - 1", ...): static texts, never NULL. */
CVHOST_API const char *cvhost_status_text(int32_t status);
CVHOST_API const char *cvhost_range_text(int32_t range);

/* The one-line explanation the command gives for an outcome of
   LJUNGCV(n, alpha [, method]): why argument `rejected` was rejected (status
   120836), why the method has no value (120833), or why a value is outside
   its curve's sensible range (status 0 and range 1 or 2); "" for a value that
   holds. Like snprintf: returns the whole text's length and writes at most
   buffer_size - 1 characters and a NUL. */
CVHOST_API size_t cvhost_explain(cvhost *host, double n, double alpha, const char *method, int32_t status,
                                 int32_t rejected, int32_t range, char *buffer, size_t buffer_size);

/* The stretches of n from 1 to 2147483647 where the method's value at level
   alpha holds, is out of range, or is missing, as `ljungcv limits` prints
   them: stretch i runs from first_n[i] to last_n[i] with ranges[i] (a
   CVHOST_RANGE_* value). Writes at most capacity stretches (any array may be
   NULL) and stores the number there are in *count (may be NULL). Returns
   CVHOST_STATUS_OK, or CVHOST_STATUS_INVALID_ARGUMENT with *count 0 when the
   function rejects the level (or the method, which NULL means the default). */
CVHOST_API int32_t cvhost_limits(cvhost *host, const char *method, double alpha, size_t capacity, double *first_n,
                                 double *last_n, int32_t *ranges, size_t *count);

/* The module's information as fields, in `ljungcv info`'s order: field index
   (from 0) gives its name and value as NUL-terminated texts owned by the
   handle, valid until cvhost_close. Returns 1, or 0 past the last field
   (name and value then NULL). name or value may be NULL. Names repeat where
   the module has several ("descriptor", "function"). */
CVHOST_API int cvhost_info_field(cvhost *host, size_t index, const char **name, const char **value);

/* ---- Added in 1.2: the calls below are new; every call above is unchanged. ---- */

/* 1 when the function takes `method` as its third argument, else 0 (also for
   NULL): a keyword or a run of adjacent keywords, in any case, blanks around
   it trimmed. The function's own reading of a method text; needs no module. */
CVHOST_API int cvhost_method_known(const char *method);

/* The levels the function takes: *lowest <= alpha <= *highest. Either
   pointer may be NULL. */
CVHOST_API void cvhost_level_range(double *lowest, double *highest);

/* Outlier types; also bits of a type set. */
#define CVHOST_OUTLIER_IO 1 /* innovational */
#define CVHOST_OUTLIER_AO 2 /* additive */
#define CVHOST_OUTLIER_LS 4 /* level shift */
#define CVHOST_OUTLIER_TC 8 /* temporary change */
/* A seasonal level shift (a step in one season: at T, T + s, T + 2s, ...) needs the model's
   period s: cvhost_find_outliers takes it; the two calls below have no period and refuse it. */
#define CVHOST_OUTLIER_SLS 16 /* 1.4 */

/* For every time T = 0..n-1, the effect and the statistic of an outlier of `type` (one
   CVHOST_OUTLIER_* value) at T, given residuals[0..n-1] of a fitted model, its pi weights
   pi[0..k-1] (= pi_1..pi_k; k may be 0, pi then may be NULL), delta (the temporary change's
   decay, 0 < delta < 1; ignored by other types) and sigma (a finite positive residual scale, or
   NaN for the default: 1.4826 times the median absolute deviation from the median).
   effects and tstats hold n doubles each; either may be NULL. A level shift at the last point
   is an additive outlier: its effect and statistic there are NaN.
   Returns CVHOST_STATUS_OK, or CVHOST_STATUS_INVALID_ARGUMENT with a one-line reason in message
   (like cvhost_open's: at most message_size bytes, NUL-terminated; message may be NULL) for
   NaN or infinite residuals or weights, an unknown type, a delta outside (0, 1), a sigma that is
   not NaN and not finite positive, n == 0, or a NULL residuals array. */
CVHOST_API int32_t cvhost_outlier_statistics(size_t n, const double *residuals, size_t k, const double *pi,
                                             int32_t type, double delta, double sigma, double *effects,
                                             double *tstats, char *message, size_t message_size);

/* The locate stage: while the largest |statistic| over every time not yet taken and every type in
   `types` (an OR of CVHOST_OUTLIER_* bits) exceeds the critical value, record it, remove its
   effect from the residuals (a working copy; the caller's array is only read), re-estimate sigma
   (the default rule, over the times not taken: what is left at a taken time is the fit of its
   effect, not noise) and repeat. A time is taken once; a tie goes to AO, then IO, LS, TC, then
   the earlier time (at the last time IO and TC have AO's regressor: the simpler one is named).
   The critical value: `critical_value` when it is finite and positive; when it is NaN,
   LJUNGCV(n, alpha, method) from the host's module (method NULL: the function's default), and
   then host must not be NULL. *used_critical_value (may be NULL) receives the one used.
   Outliers are written in the order found, at most `capacity` of them: index[i] (0-based time),
   type[i] (one CVHOST_OUTLIER_* value), effect[i], tstat[i]; any array may be NULL. *count (may
   be NULL) receives how many were found (it may exceed capacity: call again with more room).
   Returns CVHOST_STATUS_OK; CVHOST_STATUS_INVALID_ARGUMENT with a reason in message for bad
   input as above, an empty type set, or a level/method the function rejects;
   CVHOST_STATUS_NO_RESULT with a reason when the function has no value for (n, alpha, method). */
CVHOST_API int32_t cvhost_locate_outliers(cvhost *host, size_t n, const double *residuals, size_t k,
                                          const double *pi, int32_t types, double delta, double alpha,
                                          const char *method, double critical_value, size_t capacity,
                                          size_t *index, int32_t *type, double *effect, double *tstat,
                                          size_t *count, double *used_critical_value, char *message,
                                          size_t message_size);

/* ---- Added in 1.3: the calls below are new; every call above is unchanged. ---- */

/* How a curve meets a threshold (cvhost_reach). */
#define CVHOST_REACH_CROSSES 0    /* rising where it holds: below the threshold at n - 1, at or above it at n */
#define CVHOST_REACH_FROM_START 1 /* at or above it from n, the first count of a stretch where the curve holds */
#define CVHOST_REACH_NEVER 2      /* below it wherever the curve holds */

/* The inverse look-up, as `ljungcv reach` gives it: the count n at which the method's value at level
   alpha first reaches `threshold` where its curve holds (for fewer observations a test with the
   threshold is stricter than one at the level, from n on it is laxer). Every value is the module's.
   *reach receives a CVHOST_REACH_* value; *n the count (for CVHOST_REACH_NEVER the count of the
   curve's largest value where it holds, NaN where it holds nowhere); *value the value at n;
   *value_before the value at n - 1 for CVHOST_REACH_CROSSES, else the host's missing value;
   *outside_n, for CVHOST_REACH_NEVER, the first count where the value reaches the threshold
   although the curve is out of range there, else NaN. note (like cvhost_open's message: at most
   note_size bytes, NUL-terminated; may be NULL) receives the command's sentence on what was
   found; 512 bytes hold any. Every output pointer may be NULL. Returns CVHOST_STATUS_OK;
   CVHOST_STATUS_INVALID_ARGUMENT when the function rejects the level or the method (NULL: the
   default) or the threshold is NaN; CVHOST_STATUS_NO_RESULT for a NULL host. */
CVHOST_API int32_t cvhost_reach(cvhost *host, const char *method, double alpha, double threshold, int32_t *reach,
                                double *n, double *value, double *value_before, double *outside_n, char *note,
                                size_t note_size);
/* ---- Also in 1.3: fitting a regression with seasonal ARIMA errors. ---- */

/*   y_t = x_t' beta + u_t,
     phi(B) Phi(B^s) (1 - B)^d (1 - B^s)^D u_t = theta(B) Theta(B^s) a_t,  a_t ~ N(0, sigma2),
   by exact Gaussian maximum likelihood (a Kalman filter on the state-space
   form; stationary and invertible parameters only). The regressors are
   differenced with the series. Missing values (NaN) are skipped by the
   filter; their residuals are NaN.

       cvhost_fit_options options = CVHOST_FIT_OPTIONS_INIT;
       cvhost_fit *fit;
       char message[256];
       options.y = y; options.n = 144;
       options.q = 1; options.d = 1; options.Q = 1; options.D = 1; options.period = 12;
       if (cvhost_fit_arima(&options, &fit, message, sizeof message) != CVHOST_STATUS_OK) ...
       cvhost_fit_loglik(fit); cvhost_fit_coefficients(fit)[0]; ...
       cvhost_fit_free(fit);

   The options carry their version: a later version adds fields at the end,
   and the library reads only the fields of the version the caller gives. */
#define CVHOST_FIT_OPTIONS_VERSION 1
#define CVHOST_FIT_WEIGHTS_DEFAULT SIZE_MAX /* n - 1 weights */

typedef struct cvhost_fit_options {
    unsigned int version;           /* CVHOST_FIT_OPTIONS_VERSION */
    const double *y;                /* the series, n values, NaN for a missing one */
    size_t n;
    int p, d, q;                    /* 0..5, 0..2, 0..5 */
    int P, D, Q;                    /* 0..5, 0..1, 0..5; all 0 when period is 1 */
    int period;                     /* 1 (no season) or 2..366 */
    const double *xreg;             /* regressors, column-major n x xreg_columns, none missing */
    size_t xreg_columns;
    const char *const *xreg_names;  /* xreg_columns names; NULL: "x1", "x2", ... */
    int include_mean;               /* -1: a mean exactly when d + D = 0; 0: none; 1: a mean (d + D = 0) */
    int include_drift;              /* 1: a drift 1..n (d + D = 1); 0: none */
    int max_iterations;             /* of the quasi-Newton search, 1..10000 */
    size_t weights;                 /* pi and psi weights wanted; CVHOST_FIT_WEIGHTS_DEFAULT: n - 1 */
} cvhost_fit_options;

#define CVHOST_FIT_OPTIONS_INIT \
    {CVHOST_FIT_OPTIONS_VERSION, NULL, 0, 0, 0, 0, 0, 0, 0, 1, NULL, 0, NULL, -1, 0, 100, CVHOST_FIT_WEIGHTS_DEFAULT}

/* A fitted model, opaque; its accessors read it, cvhost_fit_free frees it. */
typedef struct cvhost_fit cvhost_fit;

/* Fills *options as CVHOST_FIT_OPTIONS_INIT does for that version. Returns
   CVHOST_STATUS_OK, or CVHOST_STATUS_INVALID_ARGUMENT for a NULL options or
   a version this library does not know. */
CVHOST_API int32_t cvhost_fit_options_init(cvhost_fit_options *options, unsigned int version);

/* Fits the model. Returns CVHOST_STATUS_OK and the fit in *fit (free it with
   cvhost_fit_free), also when the search did not converge (then
   cvhost_fit_converged is 0 and cvhost_fit_message says why). On bad input
   returns CVHOST_STATUS_INVALID_ARGUMENT with a one-line message naming the
   argument and the rule (at most message_size bytes, NUL-terminated;
   message may be NULL), and *fit NULL; CVHOST_STATUS_NO_RESULT when the
   fit failed otherwise (out of memory). Keeps no state: several threads may
   fit at once. */
CVHOST_API int32_t cvhost_fit_arima(const cvhost_fit_options *options, cvhost_fit **fit, char *message,
                                    size_t message_size);
CVHOST_API void cvhost_fit_free(cvhost_fit *fit);

/* The coefficients, in the order ar1.., ma1.., sar1.., sma1.., intercept,
   drift, then the regressors; their names (owned by the fit), estimates,
   standard errors (NaN where the Hessian gives none) and covariance
   (count x count, row-major). With a NULL fit: 0, NULL. */
CVHOST_API size_t cvhost_fit_coefficient_count(const cvhost_fit *fit);
CVHOST_API const char *cvhost_fit_coefficient_name(const cvhost_fit *fit, size_t index); /* NULL past the end */
CVHOST_API const double *cvhost_fit_coefficients(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_standard_errors(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_covariance(const cvhost_fit *fit);

/* The maximum-likelihood sigma2, the log-likelihood, AIC, AICc and BIC
   (sigma2 counted as a parameter); NaN for a NULL fit. */
CVHOST_API double cvhost_fit_sigma2(const cvhost_fit *fit);
CVHOST_API double cvhost_fit_loglik(const cvhost_fit *fit);
CVHOST_API double cvhost_fit_aic(const cvhost_fit *fit);
CVHOST_API double cvhost_fit_aicc(const cvhost_fit *fit);
CVHOST_API double cvhost_fit_bic(const cvhost_fit *fit);
/* The observations whose innovation enters the likelihood. */
CVHOST_API size_t cvhost_fit_nobs(const cvhost_fit *fit);

/* The standardized one-step residuals, n of them (the series' length): NaN
   where the value is missing and where the differenced series has none. */
CVHOST_API const double *cvhost_fit_residuals(const cvhost_fit *fit);
/* pi_1..pi_k (e_t = y_t - sum pi_j y_(t-j)) and psi_1..psi_k
   (y_t = e_t + sum psi_j e_(t-j)) of the whole model, k = the weight count. */
CVHOST_API size_t cvhost_fit_weight_count(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_pi_weights(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_psi_weights(const cvhost_fit *fit);

/* 1 when the search converged; why not, or "" (never NULL); its iterations. */
CVHOST_API int cvhost_fit_converged(const cvhost_fit *fit);
CVHOST_API const char *cvhost_fit_message(const cvhost_fit *fit);
CVHOST_API int cvhost_fit_iterations(const cvhost_fit *fit);

/* ---- Also in 1.3: the whole outlier procedure on that model. ---- */

/* Fits the model, locates outliers in its standardized residuals (the
   statistics and the locate stage above, on the fit's residuals and pi
   weights), refits with every outlier found as a regressor on the series'
   scale (AO a pulse, LS a step, TC delta^j, SLS a step in one season,
   IO the model's psi weights),
   drops the weakest while its |t| is below the critical value, and repeats
   until a round adds nothing. The critical value is LJUNGCV(m, alpha,
   method), m the residuals tested (n less the d + D s the differencing
   takes, less the missing values), or the caller's, or one calibrated by
   resampling (version 2: resamples > 0; see cvhost(3)).

       cvhost_outlier_options options = CVHOST_OUTLIER_OPTIONS_INIT;
       cvhost_outliers *found;
       options.model.y = y; options.model.n = 200; options.model.p = 1;
       if (cvhost_find_outliers(host, &options, &found, message, sizeof message) != CVHOST_STATUS_OK) ...
       for (size_t i = 0; i < cvhost_outliers_count(found); ++i)
           cvhost_outliers_index(found)[i], cvhost_outliers_type(found)[i], ...;
       cvhost_outliers_free(found);                                                                 */
#define CVHOST_OUTLIER_OPTIONS_VERSION 3

/* How a model is identified from its series (cvhost_identify_arima, and the outlier procedure
   with identify). The differencing comes from tests on the series: d, the differences after which
   the KPSS test of level stationarity no longer rejects at 5 % (at most 2); D (period 2 or more),
   1 when the seasonal strength of a classical additive decomposition exceeds 0.64. Then p, q, P,
   Q and the constant (a mean where d + D = 0, a drift where d + D = 1) by the least AICc among
   the candidates a stepwise search fits, or among every model within the bounds; fits that fail
   or sit within 1.001 of the unit circle are passed over. Deterministic: the same series and
   options give the same model, bit for bit, on every thread. Added in 1.5. */
#define CVHOST_IDENTIFY_OPTIONS_VERSION 1

typedef struct cvhost_identify_options {
    unsigned int version;  /* CVHOST_IDENTIFY_OPTIONS_VERSION */
    int d;                 /* -1: from the KPSS test; else held, 0..2 */
    int D;                 /* -1: from the seasonal strength (0 with period 1); else held, 0..1 */
    int max_p, max_q;      /* the largest orders a candidate may have, 0..5 */
    int max_P, max_Q;      /* 0..5 */
    int stepwise;          /* 1: the stepwise search; 0: every model with p + q + P + Q <= max_order */
    int max_order;         /* 0..20 */
    int allow_constant;    /* 1: a mean or a drift tried with and without; 0: never */
    int max_models;        /* fits the search may run, 1..1000; it stops there with the best so far */
    /* Asked between fits and within them; nonzero stops the call with CVHOST_STATUS_STOPPED.
       May be NULL. */
    int (*stop_requested)(void *context);
    void *stop_context;
} cvhost_identify_options;

#define CVHOST_IDENTIFY_OPTIONS_INIT \
    {CVHOST_IDENTIFY_OPTIONS_VERSION, -1, -1, 5, 5, 2, 2, 1, 5, 1, 100, NULL, NULL}

typedef struct cvhost_outlier_options {
    unsigned int version;        /* CVHOST_OUTLIER_OPTIONS_VERSION */
    cvhost_fit_options model;    /* the series, the model and its regressors; weights is not read */
    int32_t types;               /* an OR of CVHOST_OUTLIER_* bits; AO | LS | TC by default;
                                    SLS only with a seasonal model (period >= 2) */
    double delta;                /* the temporary change's decay, 0 < delta < 1 */
    double alpha;                /* the level of LJUNGCV's critical value */
    const char *method;          /* LJUNGCV's method text; NULL: the function's default (corrected) */
    double critical_value;       /* NaN: LJUNGCV's; else the caller's threshold, finite and positive */
    int max_rounds;              /* locate-and-refit rounds, 1..100 */
    /* Asked before every evaluation of a fit's likelihood (milliseconds apart); nonzero stops
       the call with CVHOST_STATUS_STOPPED. May be NULL. */
    int (*stop_requested)(void *context);
    void *stop_context;
    /* Version 2 (1.4). The critical value calibrated by resampling: with resamples = B > 0, B series
       of Student t innovations, their degrees of freedom fitted to the residuals of a first pass
       at LJUNGCV's value (normal innovations where the fit says normal), drawn from seed; the
       critical value is the 1 - alpha quantile of the largest outlier statistic on them.
       0: LJUNGCV's value. Else 100..100000 and at least 10 / alpha; not with critical_value.
       CVHOST_OUTLIER_RESAMPLES_DEFAULT is the count to ask for when in doubt. */
    int resamples;
    uint64_t seed;
    /* Version 3 (1.5). NULL: the model as `model` gives it. Else the model is identified from
       the series: `model` gives its period alone (p, d, q, P, D, Q 0, include_mean -1,
       include_drift 0; max_iterations bounds every candidate's fit). The model is identified
       on the series, the procedure run, the model identified again on the series adjusted for
       the outliers found, and the procedure run once more if that model differs.
       cvhost_outliers_identification reads both identifications. */
    const cvhost_identify_options *identify;
} cvhost_outlier_options;

#define CVHOST_OUTLIER_RESAMPLES_DEFAULT 1000
#define CVHOST_OUTLIER_SEED_DEFAULT 20240601u

#define CVHOST_OUTLIER_OPTIONS_INIT                                                                    \
    {CVHOST_OUTLIER_OPTIONS_VERSION, CVHOST_FIT_OPTIONS_INIT,                                          \
     CVHOST_OUTLIER_AO | CVHOST_OUTLIER_LS | CVHOST_OUTLIER_TC, 0.7, 0.05, NULL, NAN, 10, NULL, NULL,  \
     0, CVHOST_OUTLIER_SEED_DEFAULT, NULL}

/* The procedure stopped because stop_requested asked it to. */
#define CVHOST_STATUS_STOPPED 120837

/* What the procedure found, opaque; its accessors read it, cvhost_outliers_free frees it. */
typedef struct cvhost_outliers cvhost_outliers;

/* Fills *options as CVHOST_OUTLIER_OPTIONS_INIT does for that version (1: the fields up to
   stop_context alone, the struct a version 1 caller holds; 2: up to seed). Returns
   CVHOST_STATUS_OK, or CVHOST_STATUS_INVALID_ARGUMENT for a NULL options or
   a version this library does not know. */
CVHOST_API int32_t cvhost_outlier_options_init(cvhost_outlier_options *options, unsigned int version);

/* Runs the procedure. Returns CVHOST_STATUS_OK and the result in *result
   (free it with cvhost_outliers_free). On bad input (the fit's rules, the
   outlier options', fewer than 5 residuals to test, a level or method the
   function rejects) CVHOST_STATUS_INVALID_ARGUMENT with a one-line message
   naming the argument and the rule, and *result NULL; CVHOST_STATUS_STOPPED
   when stop_requested said so; CVHOST_STATUS_NO_RESULT when the function
   has no value for (m, alpha, method) or the call failed otherwise. host
   may be NULL when critical_value is given. Several threads may call at
   once, each with its own options. */
CVHOST_API int32_t cvhost_find_outliers(cvhost *host, const cvhost_outlier_options *options,
                                        cvhost_outliers **result, char *message, size_t message_size);
CVHOST_API void cvhost_outliers_free(cvhost_outliers *result);

/* The outliers of the final model in time order: their 0-based times, types
   (CVHOST_OUTLIER_*), effects on the series' scale and t statistics in the
   final fit. With a NULL result: 0, NULL. */
CVHOST_API size_t cvhost_outliers_count(const cvhost_outliers *result);
CVHOST_API const size_t *cvhost_outliers_index(const cvhost_outliers *result);
CVHOST_API const int32_t *cvhost_outliers_type(const cvhost_outliers *result);
CVHOST_API const double *cvhost_outliers_effect(const cvhost_outliers *result);
CVHOST_API const double *cvhost_outliers_tstat(const cvhost_outliers *result);

/* The critical value every outlier passed; the residuals tested (m); the
   rounds taken. */
CVHOST_API double cvhost_outliers_critical_value(const cvhost_outliers *result);
CVHOST_API size_t cvhost_outliers_tested(const cvhost_outliers *result);
CVHOST_API int cvhost_outliers_rounds(const cvhost_outliers *result);

/* What the caller should know about the result, an OR of: */
#define CVHOST_OUTLIERS_REACHED_BOUND 1    /* stopped at the most outliers it takes, a fifth of m */
#define CVHOST_OUTLIERS_ROUNDS_EXHAUSTED 2 /* the last round still found new outliers */
#define CVHOST_OUTLIERS_SHORT_SERIES 4     /* m below 30: more outliers are found than alpha says */
#define CVHOST_OUTLIERS_HEAVY_TAILS 8      /* the residuals' kurtosis test is below 0.10, and the
                                              critical value was not calibrated for their tails */
CVHOST_API int32_t cvhost_outliers_flags(const cvhost_outliers *result);
/* The final fit's residuals, the outliers' times aside: excess kurtosis and the one-sided
   p-value of tails that heavy. */
CVHOST_API double cvhost_outliers_excess_kurtosis(const cvhost_outliers *result);
CVHOST_API double cvhost_outliers_kurtosis_p_value(const cvhost_outliers *result);
/* The series without the outliers' effects, n values (missing ones stay NaN). */
CVHOST_API const double *cvhost_outliers_adjusted(const cvhost_outliers *result);
/* The final fit, owned by the result: read it with the cvhost_fit_ accessors
   (the outliers' coefficients come last, named by type and 1-based time,
   "LS36"); do not free it. */
CVHOST_API const cvhost_fit *cvhost_outliers_fit(const cvhost_outliers *result);

/* ---- Added in 1.4: the calls below are new; every call above is unchanged. Also new in 1.4:
   CVHOST_OUTLIER_SLS, and version 2 of cvhost_outlier_options (resamples, seed). ---- */

/* 1 when the critical value was calibrated by resampling, else 0; the degrees of freedom of the
   t law its draws took (INFINITY: normal draws; NaN without calibration or with a NULL result). */
CVHOST_API int cvhost_outliers_calibrated(const cvhost_outliers *result);
CVHOST_API double cvhost_outliers_tail_dof(const cvhost_outliers *result);

/* The outlier procedure on many series in one call, on a pool of threads.

       const double *series[3] = {a, b, c};
       size_t lengths[3] = {144, 144, 60};
       cvhost_batch *batch;
       options.model.q = 1; ...              (options.model.y, n and the regressors are not read)
       if (cvhost_find_outliers_batch(host, &options, 3, series, lengths, 0, &batch, message, sizeof message)
           != CVHOST_STATUS_OK) ...
       for (size_t i = 0; i < cvhost_batch_count(batch); ++i)
           if (cvhost_batch_status(batch, i) == CVHOST_STATUS_OK)
               cvhost_outliers_count(cvhost_batch_outliers(batch, i)), ...;
           else
               fprintf(stderr, "series %zu: %s\n", i, cvhost_batch_message(batch, i));
       cvhost_batch_free(batch);                                                                      */

/* What a batch found, opaque; its accessors read it, cvhost_batch_free frees it. */
typedef struct cvhost_batch cvhost_batch;

/* Runs the procedure of `options` (every field but its model's y, n, xreg, xreg_columns and
   xreg_names, which are not read: no regressors) on `count` series: series[i] holds lengths[i]
   values, NaN for a missing one. The series run on `workers` threads (0: one per core the
   machine has; at most 256), each series alone; series i's outcome is, bit for bit, what
   cvhost_find_outliers gives for it, whatever the number of threads.
   Returns CVHOST_STATUS_OK and the batch in *result (free it with cvhost_batch_free), also when
   some series failed: each has its own status and message. CVHOST_STATUS_INVALID_ARGUMENT with
   a one-line message (as cvhost_find_outliers's) and *result NULL for what every series would
   share: a NULL options, result, series or lengths (series and lengths may be NULL for count 0),
   the options' or the model's rules, a level or method the function rejects, a NULL host
   without critical_value, workers above 256. CVHOST_STATUS_STOPPED when stop_requested said so
   (no series is then reported; nothing to free); with several workers stop_requested is asked
   from all of them at once and must allow that. CVHOST_STATUS_NO_RESULT when the call failed
   otherwise (out of memory). */
CVHOST_API int32_t cvhost_find_outliers_batch(cvhost *host, const cvhost_outlier_options *options, size_t count,
                                              const double *const *series, const size_t *lengths,
                                              unsigned workers, cvhost_batch **result, char *message,
                                              size_t message_size);
CVHOST_API void cvhost_batch_free(cvhost_batch *batch);

/* The number of series; 0 for NULL. */
CVHOST_API size_t cvhost_batch_count(const cvhost_batch *batch);
/* Series i's status, as cvhost_find_outliers would return it for that series alone:
   CVHOST_STATUS_OK, CVHOST_STATUS_INVALID_ARGUMENT (too few values for the model, every value
   missing, an infinite value, a NULL series[i] with a length) or CVHOST_STATUS_NO_RESULT (no
   critical value for its length, a failed call). CVHOST_STATUS_INVALID_ARGUMENT for a NULL
   batch or i past the end. */
CVHOST_API int32_t cvhost_batch_status(const cvhost_batch *batch, size_t i);
/* Why series i failed, as cvhost_find_outliers's message for it; "" when it did not. Owned by
   the batch; NULL for a NULL batch or i past the end. */
CVHOST_API const char *cvhost_batch_message(const cvhost_batch *batch, size_t i);
/* What the procedure found on series i, read with the cvhost_outliers_ accessors; owned by the
   batch (do not free it). NULL unless its status is CVHOST_STATUS_OK. */
CVHOST_API const cvhost_outliers *cvhost_batch_outliers(const cvhost_batch *batch, size_t i);

/* A ready-made stop_requested for callers that cannot answer from any thread themselves (an
   interpreter with a global lock): context points to an aligned int32_t, and the call says
   "stop" (1) once it is nonzero. The caller sets it from any thread, or a signal handler, while
   the workers read it; 0 for a NULL context.

       int32_t stop = 0;
       options.stop_requested = cvhost_stop_flag; options.stop_context = &stop;
       ... on Ctrl-C, from another thread: stop = 1;                                           */
CVHOST_API int cvhost_stop_flag(void *context);

/* ---- Added in 1.5: the calls below are new; every call above is unchanged. Also new in 1.5:
   cvhost_identify_options and version 3 of cvhost_outlier_options (identify). ---- */

/* Fills *options as CVHOST_IDENTIFY_OPTIONS_INIT does. Returns CVHOST_STATUS_OK, or
   CVHOST_STATUS_INVALID_ARGUMENT for a NULL options or a version this library does not know. */
CVHOST_API int32_t cvhost_identify_options_init(cvhost_identify_options *options, unsigned int version);

/* Identifies the model of model->y and fits it. `model` gives the series, its period and its
   regressors (p, d, q, P, D, Q 0, include_mean -1, include_drift 0, weights the default: the
   identification chooses them; max_iterations bounds every candidate's fit).

       cvhost_fit_options model = CVHOST_FIT_OPTIONS_INIT;
       cvhost_identify_options how = CVHOST_IDENTIFY_OPTIONS_INIT;
       int32_t order[7];
       model.y = y; model.n = 144; model.period = 12;
       if (cvhost_identify_arima(&model, &how, &fit, message, sizeof message) != CVHOST_STATUS_OK) ...
       cvhost_fit_order(fit, order);            p, d, q, P, D, Q, period of the model chosen
       cvhost_fit_free(fit);

   Returns CVHOST_STATUS_OK and the chosen model's fit in *fit (free it with cvhost_fit_free);
   CVHOST_STATUS_INVALID_ARGUMENT with a one-line message for bad input, *fit NULL;
   CVHOST_STATUS_STOPPED when stop_requested said so; CVHOST_STATUS_NO_RESULT when no candidate
   could be fitted (the message gives the first refusal) or the call failed otherwise. */
CVHOST_API int32_t cvhost_identify_arima(const cvhost_fit_options *model, const cvhost_identify_options *identify,
                                         cvhost_fit **fit, char *message, size_t message_size);

/* The model of a fit: order[0..6] = p, d, q, P, D, Q, period. CVHOST_STATUS_OK, or
   CVHOST_STATUS_INVALID_ARGUMENT for a NULL fit or order. */
CVHOST_API int32_t cvhost_fit_order(const cvhost_fit *fit, int32_t order[7]);
/* 1 when the fit's model was identified from the series, else 0. The calls below read how;
   for a fit whose model was given they give 0, NULL and NaN. */
CVHOST_API int cvhost_fit_identified(const cvhost_fit *fit);
/* The candidates fitted, each once, in the order tried: their count; their orders, six a
   candidate (p, d, q, P, D, Q); 1 where a candidate has the constant (a mean or a drift), else
   0; their AICc (NaN unless kept); and, for candidate i, its outcome ("kept", "refused",
   "not converged", "near unit root", or "exact fit": it reproduces the series, a constant one
   by its mean, and is chosen over any other) and why it was not kept ("" when it was). The arrays and
   texts are owned by the fit. */
CVHOST_API size_t cvhost_fit_candidate_count(const cvhost_fit *fit);
CVHOST_API const int32_t *cvhost_fit_candidate_orders(const cvhost_fit *fit);
CVHOST_API const int32_t *cvhost_fit_candidate_constants(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_candidate_aicc(const cvhost_fit *fit);
CVHOST_API const char *cvhost_fit_candidate_outcome(const cvhost_fit *fit, size_t i);
CVHOST_API const char *cvhost_fit_candidate_reason(const cvhost_fit *fit, size_t i);
/* 1 when the search stopped at max_models with the best so far. */
CVHOST_API int cvhost_fit_model_bound_reached(const cvhost_fit *fit);
/* The differencing's evidence: the seasonal strength (NaN where not measured: period 1, D held,
   fewer than two periods observed); the KPSS tests, test i on the series differenced i times
   after any seasonal difference (none when d was held): their count, statistics and p-values
   (interpolated in the published table, so within 0.01..0.10). */
CVHOST_API double cvhost_fit_seasonal_strength(const cvhost_fit *fit);
CVHOST_API size_t cvhost_fit_kpss_count(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_kpss_statistics(const cvhost_fit *fit);
CVHOST_API const double *cvhost_fit_kpss_p_values(const cvhost_fit *fit);

/* With identify: the identification on the series (which 0) and on the series adjusted for the
   first run's outliers (which 1), each the identified model's fit without outliers, owned by
   the result; the final fit's model is the second's. NULL without identify or past 1. */
CVHOST_API const cvhost_fit *cvhost_outliers_identification(const cvhost_outliers *result, size_t which);

#ifdef __cplusplus
}
#endif

#endif
