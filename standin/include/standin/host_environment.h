// The stand-in host's side of the Host Toolkit: the HostContext it hands to
// a module, with its service table, usage marks, upper-case table, optional
// text services and allocator.
//
// A process has one host, as with the real Host Toolkit: the services a
// module calls reach the HostEnvironment that is alive. Creating a second one
// while another lives is refused.
#ifndef STANDIN_HOST_ENVIRONMENT_H
#define STANDIN_HOST_ENVIRONMENT_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/host_toolkit.h"

namespace standin {

struct AllocationRecord {
    std::uint64_t size;
    std::uint32_t flags;
    bool failed;  // refused on purpose: the allocator returned null
};

struct ReportedError {
    std::int32_t component;
    std::int32_t slot;
    std::int32_t code;
    std::int64_t detail;
};

// One call of the upper-case service, as the service saw it.
struct UpcaseCall {
    std::int32_t component;
    std::int32_t slot;
    std::string text_before;
    std::string text_after;
};

class HostEnvironment {
public:
    static constexpr int COMPONENTS = 40;

    HostEnvironment();
    ~HostEnvironment();
    HostEnvironment(const HostEnvironment&) = delete;
    HostEnvironment& operator=(const HostEnvironment&) = delete;

    const HostContext* context() const { return &context_; }

    // Upper-case through the service (component 0, slot 331) or by table.
    void set_upcase_via_service(bool on);
    bool upcase_via_service() const { return context_.text_services != nullptr; }

    // Makes the allocator return null on its `call`-th call (counted from 0
    // over the environment's life), once.
    void fail_allocation(std::size_t call);

    std::vector<AllocationRecord> allocations() const;
    std::vector<ReportedError> reported_errors() const;
    // Upper-case service calls are recorded while tracing is on (the
    // default). A benchmark turns it off: recording takes a lock.
    void set_tracing(bool on) { tracing_ = on; }
    std::vector<UpcaseCall> upcase_calls() const;
    std::uint8_t usage_mark(int component) const;
    void clear_usage_marks();
    // Blocks allocated and not yet freed; the host frees them all at the end.
    std::size_t live_blocks() const;

private:
    static std::int64_t upcase_service(std::int32_t component, std::int32_t slot, std::uint8_t* text,
                                       std::int32_t length);
    static std::int64_t report_error_service(std::int32_t component, std::int32_t slot,
                                             std::int32_t code, std::int64_t detail);
    static void* allocate(HostAllocator* self, std::uint64_t size, std::uint32_t flags);

    std::vector<std::vector<HostServiceFunction>> vectors_;
    std::vector<HostServiceFunction const*> service_table_;
    std::uint8_t usage_marks_[COMPONENTS] = {};
    std::uint8_t upcase_table_[256] = {};
    HostTextServices text_services_{};
    HostAllocator allocator_{};
    HostContext context_{};

    mutable std::mutex mutex_;
    std::vector<AllocationRecord> allocations_;
    std::vector<ReportedError> errors_;
    std::vector<void*> blocks_;
    std::optional<std::size_t> failing_call_;
    std::vector<UpcaseCall> upcase_calls_;
    bool tracing_ = true;
};

}  // namespace standin

#endif
