#include "traced_host.h"

namespace test_support {

void TracedHost::fail_allocation(std::size_t call)
{
    std::lock_guard lock(mutex_);
    failing_call_ = call;
}

std::vector<AllocationRecord> TracedHost::allocations() const
{
    std::lock_guard lock(mutex_);
    return allocations_;
}

std::vector<ReportedError> TracedHost::reported_errors() const
{
    std::lock_guard lock(mutex_);
    return errors_;
}

std::vector<UpcaseCall> TracedHost::upcase_calls() const
{
    std::lock_guard lock(mutex_);
    return upcase_calls_;
}

bool TracedHost::allocating(std::uint64_t size, std::uint32_t flags)
{
    std::lock_guard lock(mutex_);
    const bool fail = failing_call_ == allocations_.size();
    allocations_.push_back({size, flags, fail});
    if (fail) {
        failing_call_.reset();
    }
    return !fail;
}

void TracedHost::error_reported(std::int32_t component, std::int32_t slot, std::int32_t code, std::int64_t detail)
{
    std::lock_guard lock(mutex_);
    errors_.push_back({component, slot, code, detail});
}

void TracedHost::upcased(std::int32_t component, std::int32_t slot, std::string_view before, std::string_view after)
{
    std::lock_guard lock(mutex_);
    upcase_calls_.push_back({component, slot, std::string(before), std::string(after)});
}

}  // namespace test_support
