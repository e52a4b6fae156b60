// The C interface's outlier procedure over many series, over the core's
// batch. Each series' outcome is turned into what cvhost_find_outliers
// would give for it alone: its result object, or the status and message of
// what the core threw for it.
#define CVHOST_BUILDING
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_outcome.h"
#include "core/outlier_batch.h"
#include "cvmodule/cvhost.h"
#include "handles.h"
#include "outlier_request.h"

struct cvhost_batch {
    std::vector<std::int32_t> status;
    std::vector<std::string> message;
    std::vector<std::unique_ptr<cvhost_outliers>> outliers;
};

namespace {

// Longer than any message the procedure gives.
constexpr std::size_t MESSAGE_ROOM = 4096;

// The status and message cvhost_find_outliers gives for `failure`.
void record_failure(cvhost_batch& batch, std::size_t i, const std::exception_ptr& failure)
{
    std::string message(MESSAGE_ROOM, '\0');
    batch.status[i] = cvhost_internal::status_of_call<std::invalid_argument>(
        message.data(), message.size(), [&] { std::rethrow_exception(failure); });
    message.resize(std::char_traits<char>::length(message.c_str()));
    batch.message[i] = std::move(message);
}

std::unique_ptr<cvhost_batch> run_batch(cvhost* host, const cvhost_outlier_options* options, std::size_t count,
                                        const double* const* series, const std::size_t* lengths, unsigned workers)
{
    // The options' model without its series: the batch's series stand in for it.
    cvhost_fit_options model{};
    if (options != nullptr) {
        model = options->model;
        model.y = nullptr;
        model.n = 0;
        model.xreg = nullptr;
        model.xreg_columns = 0;
        model.xreg_names = nullptr;
    }
    const cvhost_internal::OutlierRequest request = cvhost_internal::outlier_request(host, options, &model);
    if (count > 0 && series == nullptr) {
        throw core::OutlierInputError("series: is NULL with count " + std::to_string(count));
    }
    if (count > 0 && lengths == nullptr) {
        throw core::OutlierInputError("lengths: is NULL with count " + std::to_string(count));
    }

    auto batch = std::make_unique<cvhost_batch>();
    batch->status.assign(count, CVHOST_STATUS_OK);
    batch->message.resize(count);
    batch->outliers.resize(count);
    // A series without its values fails alone; the others run.
    std::vector<std::span<const double>> runnable;
    std::vector<std::size_t> position;
    for (std::size_t i = 0; i < count; ++i) {
        if (series[i] == nullptr && lengths[i] > 0) {
            batch->status[i] = CVHOST_STATUS_INVALID_ARGUMENT;
            batch->message[i] = "y: is NULL with n " + std::to_string(lengths[i]);
            continue;
        }
        runnable.emplace_back(series[i], lengths[i]);
        position.push_back(i);
    }
    std::vector<core::BatchOutcome> outcomes =
        core::find_outliers_batch(host != nullptr ? host->loaded.get() : nullptr, runnable, request.model.order,
                                  request.procedure, workers);
    for (std::size_t k = 0; k < outcomes.size(); ++k) {
        const std::size_t i = position[k];
        if (outcomes[k].result) {
            batch->outliers[i] = cvhost_internal::outliers_of(std::move(*outcomes[k].result), request.model.order);
            outcomes[k].result.reset();
        } else {
            record_failure(*batch, i, outcomes[k].failure);
        }
    }
    return batch;
}

bool holds(const cvhost_batch* batch, std::size_t i)
{
    return batch != nullptr && i < batch->status.size();
}

}  // namespace

extern "C" {

std::int32_t cvhost_find_outliers_batch(cvhost* host, const cvhost_outlier_options* options, std::size_t count,
                                        const double* const* series, const std::size_t* lengths, unsigned workers,
                                        cvhost_batch** result, char* message, std::size_t message_size)
{
    return cvhost_internal::procedure_call(result, message, message_size,
                                           [&] { return run_batch(host, options, count, series, lengths, workers); });
}

int cvhost_stop_flag(void* context)
{
    if (context == nullptr) {
        return 0;
    }
    // The flag is the caller's; its store may come from any thread.
    return std::atomic_ref<std::int32_t>(*static_cast<std::int32_t*>(context)).load(std::memory_order_relaxed) != 0
               ? 1
               : 0;
}

void cvhost_batch_free(cvhost_batch* batch)
{
    delete batch;
}

std::size_t cvhost_batch_count(const cvhost_batch* batch)
{
    return batch != nullptr ? batch->status.size() : 0;
}

std::int32_t cvhost_batch_status(const cvhost_batch* batch, std::size_t i)
{
    return holds(batch, i) ? batch->status[i] : CVHOST_STATUS_INVALID_ARGUMENT;
}

const char* cvhost_batch_message(const cvhost_batch* batch, std::size_t i)
{
    return holds(batch, i) ? batch->message[i].c_str() : nullptr;
}

const cvhost_outliers* cvhost_batch_outliers(const cvhost_batch* batch, std::size_t i)
{
    return holds(batch, i) ? batch->outliers[i].get() : nullptr;
}

}  // extern "C"
