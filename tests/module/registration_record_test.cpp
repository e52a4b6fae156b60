// make_registration_record with counts other than the module's own one:
// the record sizes, what is written and what is left as the host's
// allocator handed it out.
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "hand_made_context.h"
#include "host_services.h"
#include "registration.h"

namespace {

std::int32_t first_entry(CallFrame*, double*)
{
    return 1;
}
std::int32_t second_entry(CallFrame*, double*)
{
    return 2;
}

const FunctionEntry ENTRIES[] = {first_entry, second_entry};
const FunctionDefinition DEFINITIONS[2] = {};

struct RecordCase {
    const char* name;
    std::int32_t request;
    std::int32_t count;
    std::uint64_t size;  // of the allocation; 0: nothing allocated
};

const RecordCase RECORD_CASES[] = {
    {"NamesWithCountTwo", REQUEST_FUNCTION_NAMES, 2, 16},
    {"NamesWithCountZero", REQUEST_FUNCTION_NAMES, 0, 16},
    {"EntriesWithCountTwo", REQUEST_FUNCTION_ENTRIES, 2, 24},
    {"EntriesWithCountOne", REQUEST_FUNCTION_ENTRIES, 1, 16},
    {"EntriesWithCountZero", REQUEST_FUNCTION_ENTRIES, 0, 8},
    {"EntriesWithNegativeCount", REQUEST_FUNCTION_ENTRIES, -3, 8},
    {"OtherRequest", 4, 1, 0},
};

class RegistrationRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RegistrationRecord, SizedByItsCount)
{
    const RecordCase& c = GetParam();
    HandMadeContext host;
    set_host_context(host.context());
    const auto* record = static_cast<const unsigned char*>(
        make_registration_record(c.request, c.count, DEFINITIONS, ENTRIES));

    if (c.size == 0) {
        EXPECT_EQ(record, nullptr);
        EXPECT_TRUE(host.allocations().empty());
    } else {
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(host.allocations().size(), 1u);
        EXPECT_EQ(host.allocations()[0].size, c.size);
        EXPECT_EQ(host.allocations()[0].flags, RECORD_ALLOC_FLAGS);

        // Bytes the module writes, then every other byte left as allocated.
        std::vector<unsigned char> expected(c.size, HandMadeContext::FRESH);
        if (c.request == REQUEST_FUNCTION_NAMES) {
            const FunctionDefinition* definitions = DEFINITIONS;
            std::memcpy(expected.data(), &c.count, sizeof c.count);
            std::memcpy(expected.data() + 8, &definitions, sizeof definitions);
        } else if (c.count > 0) {
            std::memcpy(expected.data() + 8, ENTRIES, sizeof(FunctionEntry) * static_cast<std::size_t>(c.count));
        }
        EXPECT_EQ(std::memcmp(record, expected.data(), c.size), 0);
    }
    EXPECT_TRUE(host.reported_errors().empty());
    set_host_context(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistrationRecord, ::testing::ValuesIn(RECORD_CASES),
                         [](const ::testing::TestParamInfo<RecordCase>& param) { return std::string(param.param.name); });

}  // namespace
