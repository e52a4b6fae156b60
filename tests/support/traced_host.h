// The stand-in host with a test layer over it: every allocation, reported
// error and upper-case service call recorded, and one allocation refusable
// on purpose.
#ifndef TESTS_SUPPORT_TRACED_HOST_H
#define TESTS_SUPPORT_TRACED_HOST_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/host_environment.h"

namespace test_support {

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

class TracedHost : public standin::HostEnvironment, private standin::HostObserver {
public:
    TracedHost() { set_observer(this); }

    // Makes the allocator return null on its `call`-th call (counted from 0
    // over the environment's life), once.
    void fail_allocation(std::size_t call);

    std::vector<AllocationRecord> allocations() const;
    std::vector<ReportedError> reported_errors() const;
    std::vector<UpcaseCall> upcase_calls() const;

private:
    bool allocating(std::uint64_t size, std::uint32_t flags) override;
    void error_reported(std::int32_t component, std::int32_t slot, std::int32_t code, std::int64_t detail) override;
    void upcased(std::int32_t component, std::int32_t slot, std::string_view before, std::string_view after) override;

    mutable std::mutex mutex_;
    std::vector<AllocationRecord> allocations_;
    std::vector<ReportedError> errors_;
    std::vector<UpcaseCall> upcase_calls_;
    std::optional<std::size_t> failing_call_;
};

}  // namespace test_support

#endif
