// Registration: the records module_query builds from the host's memory.
#include <cstring>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

class Registration : public ModuleTest {
protected:
    ModuleQuery query() { return module.descriptors().at(0)->query; }
};

TEST_F(Registration, NamesRecordPointsToTheStaticDefinition)
{
    auto* first = static_cast<const FunctionNamesRecord*>(query()(REQUEST_FUNCTION_NAMES));
    auto* second = static_cast<const FunctionNamesRecord*>(query()(REQUEST_FUNCTION_NAMES));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);  // a fresh record every time
    EXPECT_EQ(first->count, 1);
    EXPECT_EQ(first->unwritten, 0xA5A5A5A5u);  // left as the allocator returned it
    EXPECT_EQ(first->functions, second->functions);

    const FunctionDefinition& definition = *first->functions;
    EXPECT_EQ(std::memcmp(definition.name, "LJUNGCV\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 24), 0);
    EXPECT_EQ(definition.min_args, 2);
    EXPECT_EQ(definition.max_args, 3);
    EXPECT_EQ(definition.host_word28, 66u);
    EXPECT_EQ(definition.host_word32, 0u);
    EXPECT_EQ(definition.host_word36, 137u);
}

TEST_F(Registration, EntriesRecordHoldsTheEvaluationEntry)
{
    auto* record = static_cast<const unsigned char*>(query()(REQUEST_FUNCTION_ENTRIES));
    ASSERT_NE(record, nullptr);
    const unsigned char unwritten[8] = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
    EXPECT_EQ(std::memcmp(record, unwritten, 8), 0);

    FunctionEntry entry = nullptr;
    std::memcpy(&entry, record + 8, sizeof entry);
    ASSERT_NE(entry, nullptr);
    // It is the entry that evaluates LJUNGCV.
    const std::vector<standin::Argument> arguments{10.0, 0.05};
    standin::PreparedCall call(arguments);
    const standin::Evaluation result = call.invoke(entry);
    EXPECT_EQ(result.status, STATUS_OK);
    EXPECT_NEAR(result.value, 3.087110345, 5e-10);
}

TEST_F(Registration, RecordsAreAllocatedWithTheRecordFlags)
{
    const std::size_t before = host.allocations().size();
    ASSERT_NE(query()(REQUEST_FUNCTION_NAMES), nullptr);
    ASSERT_NE(query()(REQUEST_FUNCTION_ENTRIES), nullptr);
    const std::vector<test_support::AllocationRecord> allocations = host.allocations();
    ASSERT_EQ(allocations.size(), before + 2);
    EXPECT_EQ(allocations[before].size, 16u);
    EXPECT_EQ(allocations[before + 1].size, 16u);
    EXPECT_EQ(allocations[before].flags, 0x2006u);
    EXPECT_EQ(allocations[before + 1].flags, 0x2006u);
}

TEST_F(Registration, OtherRequestsAllocateAndReportNothing)
{
    const std::size_t before = host.allocations().size();
    for (const std::int32_t request : {0, 3, -1, 1000, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(query()(request), nullptr) << request;
    }
    EXPECT_EQ(host.allocations().size(), before);
    EXPECT_TRUE(host.reported_errors().empty());
}

TEST_F(Registration, NoMemoryIsReportedOnceAndAnsweredWithNull)
{
    for (const std::int32_t request : {REQUEST_FUNCTION_NAMES, REQUEST_FUNCTION_ENTRIES}) {
        const std::size_t errors_before = host.reported_errors().size();
        const std::size_t blocks_before = host.live_blocks();
        host.fail_allocation(host.allocations().size());
        EXPECT_EQ(query()(request), nullptr) << request;
        const std::vector<test_support::ReportedError> errors = host.reported_errors();
        ASSERT_EQ(errors.size(), errors_before + 1) << request;
        EXPECT_EQ(errors.back().code, HOSTERR_NO_MEMORY);
        EXPECT_EQ(errors.back().detail, 0);
        EXPECT_EQ(host.live_blocks(), blocks_before);
        // The next request succeeds.
        EXPECT_NE(query()(request), nullptr) << request;
        EXPECT_EQ(host.reported_errors().size(), errors_before + 1);
    }
}

TEST_F(Registration, HostLearnsLjungcvWithItsArgumentRange)
{
    const std::vector<standin::RegisteredFunction>& functions = module.functions();
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_EQ(functions[0].name, "LJUNGCV");
    EXPECT_EQ(functions[0].min_args, 2);
    EXPECT_EQ(functions[0].max_args, 3);
    EXPECT_EQ(functions[0].module, "cvmodule");
    EXPECT_EQ(module.find_function("ljungcv"), &functions[0]);
    EXPECT_EQ(module.find_function("LJUNG"), nullptr);
}

}  // namespace
