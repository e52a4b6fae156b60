// A pool of plain threads for work split into numbered pieces: each worker
// takes the next number from one shared counter until none is left, so a
// slow piece holds up only its own worker.
#ifndef CORE_WORKER_POOL_H
#define CORE_WORKER_POOL_H

#include <atomic>
#include <cstddef>
#include <functional>

namespace core {

// Runs task(i) for i = 0..count-1 on `workers` threads, the calling thread
// one of them, and returns when every task handed out has returned. No
// further task is handed out once `stop` is true. task must not throw. A
// thread the system will not start leaves its share to the others.
void run_on_workers(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& task,
                    const std::atomic<bool>& stop);

}  // namespace core

#endif
