// The stand-in host's context, services and allocator.
#include "standin/host_environment.h"

#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>
#include <stdexcept>

namespace standin {

namespace {

std::atomic<HostEnvironment*> active_host{nullptr};

}  // namespace

HostEnvironment::HostEnvironment()
{
    HostEnvironment* expected = nullptr;
    if (!active_host.compare_exchange_strong(expected, this)) {
        throw std::logic_error("a host environment already exists in this process");
    }

    vectors_.resize(COMPONENTS);
    vectors_[UPCASE_COMPONENT].resize(UPCASE_SLOT + 1);
    vectors_[UPCASE_COMPONENT][UPCASE_SLOT] = reinterpret_cast<HostServiceFunction>(&upcase_service);
    vectors_[REPORT_ERROR_COMPONENT].resize(REPORT_ERROR_SLOT + 1);
    vectors_[REPORT_ERROR_COMPONENT][REPORT_ERROR_SLOT] =
        reinterpret_cast<HostServiceFunction>(&report_error_service);
    std::transform(vectors_.begin(), vectors_.end(), std::back_inserter(service_table_),
                   [](const auto& vector) { return vector.empty() ? nullptr : vector.data(); });

    // The host's upper-case table: ASCII letters, every other byte itself.
    for (int b = 0; b < 256; ++b) {
        upcase_table_[b] = static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    }
    text_services_.upcase_via_service = reinterpret_cast<void*>(&upcase_service);
    allocator_.allocate = &allocate;

    context_.services = service_table_.data();
    context_.usage_marks = usage_marks_;
    context_.upcase_table = upcase_table_;
    context_.allocator = &allocator_;
    context_.text_services = nullptr;
}

HostEnvironment::~HostEnvironment()
{
    for (const auto& [block, size] : blocks_) {
        std::free(block);
    }
    active_host.store(nullptr);
}

void HostEnvironment::set_upcase_via_service(bool on)
{
    context_.text_services = on ? &text_services_ : nullptr;
}

std::uint8_t HostEnvironment::usage_mark(int component) const
{
    return std::atomic_ref<const std::uint8_t>(usage_marks_[component]).load(std::memory_order_relaxed);
}

void HostEnvironment::clear_usage_marks()
{
    for (std::uint8_t& mark : usage_marks_) {
        std::atomic_ref<std::uint8_t>(mark).store(0, std::memory_order_relaxed);
    }
}

std::size_t HostEnvironment::live_blocks() const
{
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

bool HostEnvironment::holds(const void* start, std::uint64_t size) const
{
    const auto first = reinterpret_cast<std::uintptr_t>(start);
    std::lock_guard lock(mutex_);
    for (const auto& [block, block_size] : blocks_) {
        const auto begin = reinterpret_cast<std::uintptr_t>(block);
        if (first >= begin && first - begin <= block_size && size <= block_size - (first - begin)) {
            return true;
        }
    }
    return false;
}

std::int64_t HostEnvironment::upcase_service(std::int32_t component, std::int32_t slot, std::uint8_t* text,
                                             std::int32_t length)
{
    HostEnvironment* host = active_host.load();
    const auto* chars = reinterpret_cast<const char*>(text);
    const auto size = static_cast<std::size_t>(length > 0 ? length : 0);
    std::string before;
    if (host->observer_ != nullptr) {
        before.assign(chars, size);
    }
    for (std::int32_t i = 0; i < length; ++i) {
        text[i] = host->upcase_table_[text[i]];
    }
    if (host->observer_ != nullptr) {
        host->observer_->upcased(component, slot, before, std::string_view(chars, size));
    }
    return length;
}

std::int64_t HostEnvironment::report_error_service(std::int32_t component, std::int32_t slot,
                                                   std::int32_t code, std::int64_t detail)
{
    HostEnvironment* host = active_host.load();
    if (host->observer_ != nullptr) {
        host->observer_->error_reported(component, slot, code, detail);
    }
    return 0;
}

// cppcheck-suppress constParameter ; the allocator's signature is the host's
void* HostEnvironment::allocate(HostAllocator* self, std::uint64_t size, std::uint32_t flags)
{
    HostEnvironment* host = active_host.load();
    if (self != &host->allocator_) {
        return nullptr;
    }
    if (host->observer_ != nullptr && !host->observer_->allocating(size, flags)) {
        return nullptr;
    }
    // Fresh host memory is not zeroed: fill it so that bytes a module leaves
    // unwritten are recognisable.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        return nullptr;
    }
    std::memset(block, 0xA5, size);
    try {
        std::lock_guard lock(host->mutex_);
        host->blocks_.emplace_back(block, size);
    } catch (const std::bad_alloc&) {
        // No exception crosses into the module: no room to keep the block is
        // no memory.
        std::free(block);
        return nullptr;
    }
    return block;
}

}  // namespace standin
