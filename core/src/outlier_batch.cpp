// Many series under one request: the shared checks once, then each series
// through the one-series procedure on a worker of the pool. The stop
// question every worker asks is the caller's, or'ed with a flag the first
// worker told to stop raises, so that the others stop too.
#include "core/outlier_batch.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include "core/outliers.h"
#include "worker_pool.h"

namespace core {

unsigned batch_workers(unsigned requested)
{
    if (requested > MAX_BATCH_WORKERS) {
        throw OutlierInputError("workers: must be from 0 (one per core) to " + std::to_string(MAX_BATCH_WORKERS) +
                                ", got " + std::to_string(requested));
    }
    if (requested > 0) {
        return requested;
    }
    const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
    return std::clamp(cores, 1U, MAX_BATCH_WORKERS);
}

std::vector<BatchOutcome> find_outliers_batch(const LoadedModule* module, std::span<const std::span<const double>> series,
                                              const ArimaOrder& order, const OutlierOptions& options,
                                              unsigned workers)
{
    const unsigned threads = batch_workers(workers);
    check_shared_outlier_input(module, order, options);

    std::atomic<bool> stopped{false};
    OutlierOptions each = options;
    each.stop_requested = [&stopped, &asked = options.stop_requested] {
        if (stopped.load(std::memory_order_relaxed)) {
            return true;
        }
        if (asked && asked()) {
            stopped.store(true, std::memory_order_relaxed);
            return true;
        }
        return false;
    };
    std::vector<BatchOutcome> outcomes(series.size());
    run_on_workers(
        series.size(), threads,
        [&](std::size_t i) {
            try {
                outcomes[i].result = find_outliers(module, series[i], order, {}, each);
            } catch (const OutlierStopped&) {
                stopped.store(true, std::memory_order_relaxed);
            } catch (...) {
                outcomes[i].failure = std::current_exception();
            }
        },
        stopped);
    if (stopped.load()) {
        throw OutlierStopped();
    }
    return outcomes;
}

}  // namespace core
