// Module-wide state and the forwarding entries to host services.
//
// The context pointer is the module's only run-time write to module-wide
// data: stored by mcn_main before any other entry runs, read afterwards.
// It is atomic so that a repeated mcn_main is still well-defined; on x86-64
// both the store and the loads are plain moves.
//
// A usage mark is set with a relaxed byte store of 1, skipped when the byte
// already holds 1: the effect is the same, and calls on several threads then
// stop writing to the host's shared cache line once the mark is set.
#include "host_services.h"

#include <atomic>

namespace {

std::atomic<const HostContext*> stored_context{nullptr};

// Marks component `component` as used and returns its service in `slot`.
HostServiceFunction use_service(std::int32_t component, std::int32_t slot)
{
    const HostContext* context = stored_context.load(std::memory_order_acquire);
    std::atomic_ref<std::uint8_t> mark(context->usage_marks[component]);
    if (mark.load(std::memory_order_relaxed) != 1) {
        mark.store(1, std::memory_order_relaxed);
    }
    return context->services[component][slot];
}

}  // namespace

const HostContext* host_context()
{
    return stored_context.load(std::memory_order_acquire);
}

void set_host_context(const HostContext* context)
{
    stored_context.store(context, std::memory_order_release);
}

std::int64_t host_upcase(std::uint8_t* text, std::int32_t length)
{
    auto service = reinterpret_cast<HostUpcaseService>(use_service(UPCASE_COMPONENT, UPCASE_SLOT));
    return service(UPCASE_COMPONENT, UPCASE_SLOT, text, length);
}

std::int64_t host_report_error(std::int32_t code, std::int64_t detail)
{
    auto service = reinterpret_cast<HostReportErrorService>(
        use_service(REPORT_ERROR_COMPONENT, REPORT_ERROR_SLOT));
    return service(REPORT_ERROR_COMPONENT, REPORT_ERROR_SLOT, code, detail);
}
