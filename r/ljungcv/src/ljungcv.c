/* R's side of LJUNGCV: .Call entries over the stand-in host's C interface
 * (cvhost.h). Every value comes from the module through libcvhost; nothing
 * here computes or checks a critical value itself.
 *
 * One host per R session, opened on first use and closed when the package's
 * library is unloaded: the stand-in host keeps one environment per process. */
#include <stddef.h>
#include <stdint.h>

#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

#include <cvmodule/cvhost.h>

/* The host's status codes. */
enum { STATUS_OK = 0, STATUS_NO_RESULT = 120833, STATUS_INVALID_ARGUMENT = 120836 };

/* INTEGER() vectors receive the host's int32_t statuses in place. */
typedef char int_is_32_bits[sizeof(int) == sizeof(int32_t) ? 1 : -1];

static cvhost *the_host_handle;

static cvhost *host(void)
{
    if (the_host_handle == NULL) {
        char message[512] = "";
        the_host_handle = cvhost_open(NULL, message, sizeof message);
        if (the_host_handle == NULL) {
            error("cannot load the cvmodule module: %s", message);
        }
    }
    return the_host_handle;
}

static const char *method_text(SEXP method)
{
    if (!isString(method) || XLENGTH(method) != 1 || STRING_ELT(method, 0) == NA_STRING) {
        error("'method' must be a single text");
    }
    return CHAR(STRING_ELT(method, 0));
}

/* The argument (1 n, 2 alpha, 3 method) the module flags for this method
 * at a count and level it always accepts: 3 for a text it does not know. */
static SEXP ljungcv_method_rejected(SEXP method)
{
    double value = 0.0;
    int rejected = 0;
    cvhost_ljungcv(host(), 10.0, 0.05, method_text(method), &value, &rejected);
    return ScalarInteger(rejected);
}

/* A vector of length `length` with x's elements recycled, or x's own
 * elements when it has that length already. */
static const double *recycled(SEXP x, R_xlen_t length)
{
    const R_xlen_t own = XLENGTH(x);
    const double *source = REAL_RO(x);
    if (own == length) {
        return source;
    }
    double *copy = (double *)R_alloc((size_t)length, sizeof(double));
    for (R_xlen_t i = 0; i < length; ++i) {
        copy[i] = source[i % own];
    }
    return copy;
}

/* list(value, status, rejected): LJUNGCV(n[i], alpha[i], method) for the
 * recycled double vectors n and alpha in one call into the host. value is
 * the module's value, NA where none exists and NaN where the module rejected
 * an argument; status the host's code. Where n or alpha is NA or NaN the
 * value and the status are NA, as R's distribution functions answer.
 * rejected: the argument (1, 2) that the module flagged for the first
 * rejected element, or 0. */
static SEXP ljungcv_evaluate(SEXP n, SEXP alpha, SEXP method)
{
    const char *text = method_text(method);
    if (TYPEOF(n) != REALSXP || TYPEOF(alpha) != REALSXP) {
        error("'n' and 'alpha' must be double vectors");
    }
    const R_xlen_t n_length = XLENGTH(n);
    const R_xlen_t alpha_length = XLENGTH(alpha);
    const R_xlen_t length =
        n_length == 0 || alpha_length == 0 ? 0 : (n_length > alpha_length ? n_length : alpha_length);

    SEXP result = PROTECT(allocVector(VECSXP, 3));
    SEXP values = allocVector(REALSXP, length);
    SET_VECTOR_ELT(result, 0, values);
    SEXP statuses = allocVector(INTSXP, length);
    SET_VECTOR_ELT(result, 1, statuses);
    int rejected = 0;

    if (length > 0) {
        const double *counts = recycled(n, length);
        const double *levels = recycled(alpha, length);
        double *value = REAL(values);
        int *status = INTEGER(statuses);
        cvhost_ljungcv_many(host(), (size_t)length, counts, levels, text, value, (int32_t *)status);

        R_xlen_t first_rejected = -1;
        for (R_xlen_t i = 0; i < length; ++i) {
            if (ISNAN(counts[i]) || ISNAN(levels[i])) {
                value[i] = NA_REAL;
                status[i] = NA_INTEGER;
            } else if (status[i] == STATUS_INVALID_ARGUMENT) {
                value[i] = R_NaN;
                if (first_rejected < 0) {
                    first_rejected = i;
                }
            } else if (status[i] != STATUS_OK) {
                value[i] = NA_REAL;  /* the host's missing value is not R's NA */
            }
        }
        if (first_rejected >= 0) {
            double ignored = 0.0;
            cvhost_ljungcv(host(), counts[first_rejected], levels[first_rejected], text, &ignored, &rejected);
        }
    }
    SET_VECTOR_ELT(result, 2, ScalarInteger(rejected));
    UNPROTECT(1);
    return result;
}

/* The module's image information and version record as "name: value" lines. */
static SEXP ljungcv_module_info(void)
{
    cvhost *h = host();
    char small[4096];
    size_t length = cvhost_module_info(h, small, sizeof small);
    if (length < sizeof small) {
        return mkString(small);
    }
    char *large = R_alloc(length + 1, 1);
    cvhost_module_info(h, large, length + 1);
    return mkString(large);
}

/* The prefix of the kit this package was built against. */
static SEXP ljungcv_kit_prefix(void)
{
    return mkString(CVHOST_KIT_PREFIX);
}

static const R_CallMethodDef CALL_ENTRIES[] = {
    {"C_evaluate", (DL_FUNC)&ljungcv_evaluate, 3},
    {"C_method_rejected", (DL_FUNC)&ljungcv_method_rejected, 1},
    {"C_module_info", (DL_FUNC)&ljungcv_module_info, 0},
    {"C_kit_prefix", (DL_FUNC)&ljungcv_kit_prefix, 0},
    {NULL, NULL, 0},
};

void R_init_ljungcv(DllInfo *dll)
{
    R_registerRoutines(dll, NULL, CALL_ENTRIES, NULL, NULL);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}

void R_unload_ljungcv(DllInfo *dll)
{
    (void)dll;
    if (the_host_handle != NULL) {
        cvhost_close(the_host_handle);
        the_host_handle = NULL;
    }
}
