// The outlier procedure on many series under one request: the checks they
// share are made once, then the series run on a pool of threads, each on
// its own, and each series has an outcome of its own, so that one bad
// series spoils nothing but itself.
#ifndef CORE_OUTLIER_BATCH_H
#define CORE_OUTLIER_BATCH_H

#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <vector>

#include "core/arima.h"
#include "core/ljungcv.h"
#include "core/outlier_procedure.h"

namespace core {

// The most threads a batch runs on.
inline constexpr unsigned MAX_BATCH_WORKERS = 256;

// The threads a batch runs on when the caller asks for `requested`: that
// many, or for 0 one per core the machine has. Throws OutlierInputError
// above MAX_BATCH_WORKERS.
unsigned batch_workers(unsigned requested);

// One series' outcome: its result, or what find_outliers threw for it
// (rethrow it to read it).
struct BatchOutcome {
    std::optional<OutlierResult> result;
    std::exception_ptr failure;
};

// find_outliers(module, series[i], order, {}, options) for every series, on
// batch_workers(workers) threads; outcome i is series i's, bit for bit what
// the call on that series alone gives, whatever the number of threads. A
// worker holds one series' fit at a time; the outcomes hold the final fits.
// Throws, before any series is run, what check_shared_outlier_input throws
// and what batch_workers throws; OutlierStopped when options.stop_requested
// says so (every worker then stops at its next question). With more than
// one thread stop_requested is asked from several threads at once.
std::vector<BatchOutcome> find_outliers_batch(const LoadedModule* module, std::span<const std::span<const double>> series,
                                              const ArimaOrder& order, const OutlierOptions& options,
                                              unsigned workers);

}  // namespace core

#endif
