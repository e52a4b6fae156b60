#include "worker_pool.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace core {

void run_on_workers(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& task,
                    const std::atomic<bool>& stop)
{
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        while (!stop.load(std::memory_order_relaxed)) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count) {
                return;
            }
            task(i);
        }
    };
    const std::size_t wanted = std::min<std::size_t>(count, workers);
    const std::size_t others = wanted > 0 ? wanted - 1 : 0;
    std::vector<std::jthread> threads;  // joined when they go out of scope, on any path
    threads.reserve(others);
    for (std::size_t k = 0; k < others; ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // the threads already started and this one take the rest
        }
    }
    work();
}

}  // namespace core
