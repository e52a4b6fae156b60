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
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_toolkit.h"

namespace standin {

// Watches the host's services from outside: a test layer records every
// allocation, reported error and upper-case call, and may refuse an
// allocation. The host runs without one.
class HostObserver {
public:
    virtual ~HostObserver() = default;
    // Before an allocation; false makes the allocator return null.
    virtual bool allocating(std::uint64_t size, std::uint32_t flags) = 0;
    virtual void error_reported(std::int32_t component, std::int32_t slot, std::int32_t code,
                                std::int64_t detail) = 0;
    virtual void upcased(std::int32_t component, std::int32_t slot, std::string_view before,
                         std::string_view after) = 0;
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

    // Every later service call is also shown to `observer` (null: none).
    // Set it before the module is loaded; it must outlive the environment's
    // use.
    void set_observer(HostObserver* observer) { observer_ = observer; }

    std::uint8_t usage_mark(int component) const;
    void clear_usage_marks();
    // Blocks allocated and not yet freed; the host frees them all at the end.
    std::size_t live_blocks() const;
    // Whether [start, start + size) lies within one block this host
    // allocated: where a module's records may lie besides its own image.
    bool holds(const void* start, std::uint64_t size) const;

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

    HostObserver* observer_ = nullptr;
    mutable std::mutex mutex_;  // guards blocks_
    std::vector<std::pair<void*, std::uint64_t>> blocks_;  // each block and its size
};

}  // namespace standin

#endif
