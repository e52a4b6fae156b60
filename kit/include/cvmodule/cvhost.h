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
 * Threads. A handle may be used from any number of threads at once: it is
 * not changed after cvhost_open, and each evaluation builds its own call
 * frame. cvhost_open and cvhost_close may also be called from several
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
 * CVHOST_STATUS_NO_RESULT and the missing value; with a NULL value pointer
 * it evaluates nothing and answers CVHOST_STATUS_NO_RESULT; rejected may be
 * NULL. cvhost_ljungcv_many with a NULL host or a NULL n or alpha answers
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
 * The header is C89 apart from <stdint.h>, and C++-compatible.
 */
#ifndef CVMODULE_CVHOST_H
#define CVMODULE_CVHOST_H

#include <stddef.h>
#include <stdint.h>

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

#ifdef __cplusplus
}
#endif

#endif
