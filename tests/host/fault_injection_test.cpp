// Fault injection: the host's allocator refuses each allocation the module
// makes, one at a time. Each refusal is reported once as HOSTERR_NO_MEMORY
// and answered with null; nothing leaks, the module is as it was, and the
// next request succeeds.
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/host_environment.h"
#include "standin/module.h"
#include "traced_host.h"

namespace {

using standin::Argument;

// A host session's work after loading: both registration requests, then
// evaluations through the entry the host learned (by table and through the
// upper-case service), then the version record.
constexpr std::int32_t SESSION_REQUESTS[] = {REQUEST_FUNCTION_NAMES, REQUEST_FUNCTION_ENTRIES};
const std::vector<std::vector<Argument>> SESSION_CALLS = {
    {10.0, 0.05},
    {100.0, 0.01, std::string(" ljung ")},
    {1.0, 0.05, std::string("L")},
    {25.9, 0.1, std::string("corrected")},
    {50.0, 0.2},
    {50.0, 0.05, std::string("LJ")},
};

struct Evaluated {
    std::int32_t status;
    std::uint64_t value_bits;
    int rejected;

    bool operator==(const Evaluated&) const = default;
};

// Everything of the module a host can observe: its static records, the
// version record, and what its evaluations give.
struct ModuleImage {
    std::vector<unsigned char> image;
    std::vector<unsigned char> descriptor;
    std::vector<unsigned char> definition;
    standin::VersionRecordSlots version{};
    std::vector<Evaluated> evaluations;

    bool operator==(const ModuleImage&) const = default;
};

template <typename T>
std::vector<unsigned char> bytes_of(const T& record)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return {bytes, bytes + sizeof(T)};
}

FunctionEntry entry_in(const void* entries_record)
{
    FunctionEntry entry = nullptr;
    std::memcpy(&entry, static_cast<const unsigned char*>(entries_record) + offsetof(FunctionEntriesRecord, entries),
                sizeof entry);
    return entry;
}

std::vector<Evaluated> evaluate_all(test_support::TracedHost& host, FunctionEntry entry)
{
    std::vector<Evaluated> results;
    for (const bool via_service : {false, true}) {
        host.set_upcase_via_service(via_service);
        for (const std::vector<Argument>& arguments : SESSION_CALLS) {
            standin::PreparedCall call(arguments);
            const standin::Evaluation evaluation = call.invoke(entry);
            results.push_back({evaluation.status, std::bit_cast<std::uint64_t>(evaluation.value),
                               evaluation.rejected_argument()});
        }
    }
    host.set_upcase_via_service(false);
    return results;
}

ModuleImage image_of(test_support::TracedHost& host, standin::Module& module, FunctionEntry entry)
{
    const ModuleDescriptor& descriptor = *module.descriptors().at(0);
    const auto* names = static_cast<const FunctionNamesRecord*>(descriptor.query(REQUEST_FUNCTION_NAMES));
    ModuleImage image;
    image.image = bytes_of(module.image());
    image.descriptor = bytes_of(descriptor);
    image.definition = bytes_of(*names->functions);
    image.version = module.version_record();
    image.evaluations = evaluate_all(host, entry);
    return image;
}

// How many allocations a whole session makes, and that only registration
// requests make any: one each, of the record's size, with the record flags.
std::size_t allocations_of_a_session()
{
    test_support::TracedHost host;
    standin::Module module(host, CVMODULE_PATH);
    EXPECT_TRUE(host.allocations().empty()) << "loading allocates nothing";
    const ModuleDescriptor& descriptor = *module.descriptors().at(0);
    void* entries = nullptr;
    for (const std::int32_t request : SESSION_REQUESTS) {
        const std::size_t before = host.allocations().size();
        void* record = descriptor.query(request);
        EXPECT_NE(record, nullptr);
        EXPECT_EQ(host.allocations().size(), before + 1) << "request " << request;
        entries = record;
    }
    const std::size_t registered = host.allocations().size();
    evaluate_all(host, entry_in(entries));
    module.version_record();
    EXPECT_EQ(host.allocations().size(), registered) << "evaluations and tkvercn1 allocate nothing";
    return registered;
}

TEST(FaultInjection, OnlyRegistrationRequestsAllocate)
{
    EXPECT_EQ(allocations_of_a_session(), std::size(SESSION_REQUESTS));
}

TEST(FaultInjection, EachRefusedAllocationIsReportedOnceAndAnsweredWithNull)
{
    const std::size_t allocations = allocations_of_a_session();
    ASSERT_GT(allocations, 0u);
    for (std::size_t failing = 0; failing < allocations; ++failing) {
        SCOPED_TRACE("allocation " + std::to_string(failing) + " refused");
        test_support::TracedHost host;
        standin::Module module(host, CVMODULE_PATH);
        const ModuleDescriptor& descriptor = *module.descriptors().at(0);
        host.fail_allocation(failing);

        // The session's requests; the one whose allocation fails is retried.
        std::optional<std::int32_t> refused;
        void* entries = nullptr;
        for (const std::int32_t request : SESSION_REQUESTS) {
            const std::size_t blocks_before = host.live_blocks();
            void* record = descriptor.query(request);
            if (record == nullptr) {
                ASSERT_FALSE(refused.has_value()) << "only one allocation is refused";
                refused = request;
                EXPECT_EQ(host.live_blocks(), blocks_before) << "a refused request leaves no block";
                record = descriptor.query(request);
                ASSERT_NE(record, nullptr) << "the next request succeeds";
            }
            if (request == REQUEST_FUNCTION_ENTRIES) {
                entries = record;
            }
        }
        ASSERT_TRUE(refused.has_value());

        const std::vector<test_support::AllocationRecord> records = host.allocations();
        ASSERT_EQ(records.size(), allocations + 1);
        EXPECT_TRUE(records[failing].failed);
        EXPECT_EQ(records[failing].flags, RECORD_ALLOC_FLAGS);
        EXPECT_EQ(records[failing].size, *refused == REQUEST_FUNCTION_NAMES ? sizeof(FunctionNamesRecord)
                                                                           : function_entries_record_size(1));
        EXPECT_EQ(host.live_blocks(), allocations) << "every granted block, and nothing else";

        const std::vector<test_support::ReportedError> errors = host.reported_errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].component, REPORT_ERROR_COMPONENT);
        EXPECT_EQ(errors[0].slot, REPORT_ERROR_SLOT);
        EXPECT_EQ(errors[0].code, HOSTERR_NO_MEMORY);
        EXPECT_EQ(errors[0].detail, 0);
        EXPECT_EQ(host.usage_mark(REPORT_ERROR_COMPONENT), 1);

        // The retried record is whole: the entry it holds evaluates LJUNGCV.
        const std::vector<Evaluated> evaluations = evaluate_all(host, entry_in(entries));
        EXPECT_EQ(evaluations.front().status, STATUS_OK);
        EXPECT_EQ(host.reported_errors().size(), 1u) << "evaluations report nothing";
    }
}

TEST(FaultInjection, ARefusalLeavesTheModuleAsItWas)
{
    test_support::TracedHost host;
    standin::Module module(host, CVMODULE_PATH);
    const ModuleDescriptor& descriptor = *module.descriptors().at(0);
    const FunctionEntry entry = entry_in(descriptor.query(REQUEST_FUNCTION_ENTRIES));
    const ModuleImage before = image_of(host, module, entry);

    for (const std::int32_t request : SESSION_REQUESTS) {
        SCOPED_TRACE("request " + std::to_string(request));
        const std::size_t blocks_before = host.live_blocks();
        const std::size_t errors_before = host.reported_errors().size();
        host.fail_allocation(host.allocations().size());
        EXPECT_EQ(descriptor.query(request), nullptr);
        EXPECT_EQ(host.live_blocks(), blocks_before);
        EXPECT_EQ(host.reported_errors().size(), errors_before + 1);

        EXPECT_EQ(image_of(host, module, entry), before);
        void* record = descriptor.query(request);
        ASSERT_NE(record, nullptr);
        if (request == REQUEST_FUNCTION_ENTRIES) {
            EXPECT_EQ(entry_in(record), entry);
        }
    }
}

}  // namespace
