// A HostContext built by hand, for unit tests of the module's internals in
// states that the stand-in host does not produce: text services present but
// without the upper-case service, a host table that is not ASCII's, an
// allocator that records every request.
#ifndef CVMODULE_TESTS_HAND_MADE_CONTEXT_H
#define CVMODULE_TESTS_HAND_MADE_CONTEXT_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_toolkit.h"

class HandMadeContext {
public:
    static constexpr int COMPONENTS = 40;
    static constexpr unsigned char FRESH = 0xA5;  // fill of every block handed out

    struct Allocation {
        std::uint64_t size;
        std::uint32_t flags;
    };
    struct Upcase {
        std::string before;
        std::int32_t length;
    };

    HandMadeContext()
    {
        current() = this;
        upcase_vector_.resize(UPCASE_SLOT + 1);
        upcase_vector_[UPCASE_SLOT] = reinterpret_cast<HostServiceFunction>(&upcase);
        report_vector_.resize(REPORT_ERROR_SLOT + 1);
        report_vector_[REPORT_ERROR_SLOT] = reinterpret_cast<HostServiceFunction>(&report_error);
        services_[UPCASE_COMPONENT] = upcase_vector_.data();
        services_[REPORT_ERROR_COMPONENT] = report_vector_.data();
        for (int b = 0; b < 256; ++b) {
            table_[b] = static_cast<std::uint8_t>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
        }
        allocator_.allocate = &allocate;
        context_ = {services_, marks_, table_, &allocator_, nullptr};
    }
    ~HandMadeContext()
    {
        for (void* block : blocks_) {
            std::free(block);
        }
        current() = nullptr;
    }
    HandMadeContext(const HandMadeContext&) = delete;
    HandMadeContext& operator=(const HandMadeContext&) = delete;

    const HostContext* context() const { return &context_; }

    // The upper-case table maps byte `from` to `to`.
    void map(unsigned char from, unsigned char to) { table_[from] = to; }
    // Text services: none, present with the upper-case service, or present
    // without it (upcase_via_service null).
    void no_text_services() { context_.text_services = nullptr; }
    void text_services(bool upcase_via_service)
    {
        text_services_.upcase_via_service = upcase_via_service ? this : nullptr;
        context_.text_services = &text_services_;
    }

    const std::vector<Allocation>& allocations() const { return allocations_; }
    const std::vector<std::int32_t>& reported_errors() const { return errors_; }
    const std::vector<Upcase>& upcase_calls() const { return upcase_calls_; }

private:
    static HandMadeContext*& current()
    {
        static HandMadeContext* host = nullptr;
        return host;
    }

    // The service upper-cases ASCII letters only, whatever the table says.
    static std::int64_t upcase(std::int32_t, std::int32_t, std::uint8_t* text, std::int32_t length)
    {
        current()->upcase_calls_.push_back({std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(length)), length});
        for (std::int32_t i = 0; i < length; ++i) {
            if (text[i] >= 'a' && text[i] <= 'z') {
                text[i] = static_cast<std::uint8_t>(text[i] - 'a' + 'A');
            }
        }
        return 0;
    }
    static std::int64_t report_error(std::int32_t, std::int32_t, std::int32_t code, std::int64_t)
    {
        current()->errors_.push_back(code);
        return 0;
    }
    static void* allocate(HostAllocator*, std::uint64_t size, std::uint32_t flags)
    {
        HandMadeContext* host = current();
        host->allocations_.push_back({size, flags});
        void* block = std::malloc(size);
        std::memset(block, FRESH, size);
        host->blocks_.push_back(block);
        return block;
    }

    std::vector<HostServiceFunction> upcase_vector_;
    std::vector<HostServiceFunction> report_vector_;
    HostServiceFunction const* services_[COMPONENTS] = {};
    std::uint8_t marks_[COMPONENTS] = {};
    std::uint8_t table_[256] = {};
    HostTextServices text_services_{};
    HostAllocator allocator_{};
    HostContext context_{};
    std::vector<Allocation> allocations_;
    std::vector<std::int32_t> errors_;
    std::vector<Upcase> upcase_calls_;
    std::vector<void*> blocks_;
};

#endif
