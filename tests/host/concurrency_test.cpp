// Concurrency: host threads evaluating LJUNGCV, asking for registration
// records and copying the version record all at once get exactly what one
// thread gets alone. Built with the tsan preset this also shows that the
// module has no data race: its only shared writes are usage marks.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

using standin::Argument;

constexpr int THREADS = 4;

// The calls, as a cross product of arguments: counts inside and outside the
// methods' domains, levels at and beyond both ends of the range, and
// method texts that select either method, in any case, or are rejected.
const double OTHER_MISSING = std::bit_cast<double>(std::uint64_t{0xFFFF00000000002A});
const std::vector<double> COUNTS = {1, 2, 3, 7, 10, 25.9, 100, 150, 200, 1000, 1e6, 0.9, -1.5, 2.5e9, MISSING_VALUE};
const std::vector<double> LEVELS = {0.0, 0.001, 0.01, 0.05, 0.1, std::nextafter(0.1, 1.0), -0.01, OTHER_MISSING};
const std::vector<std::string> METHODS = {"", "L", "  ljung ", "Corr", "CORRECTED", "L C", "c corr",
                                          "X", "    ", "LJUNGX", "CORRECTEDX"};
constexpr const char* NO_METHOD = "";  // METHODS[0]: the call has two arguments

// Among the evaluations, every REGISTER_EVERY-th operation is a
// registration request and every VERSION_EVERY-th a tkvercn1 call.
constexpr std::size_t REGISTER_EVERY = 5;
constexpr std::size_t VERSION_EVERY = 7;
constexpr std::array<std::int32_t, 4> REQUESTS = {REQUEST_FUNCTION_NAMES, REQUEST_FUNCTION_ENTRIES, 0, 3};

struct Evaluate {
    std::vector<Argument> arguments;
};
struct Register {
    std::int32_t request;
};
struct Version {};
using Operation = std::variant<Evaluate, Register, Version>;

// What one operation gave, comparable across threads: the status, the
// result's bits and the flagged argument of an evaluation; what the record
// holds for a registration request; the slots of the version record.
struct Outcome {
    std::int32_t status = 0;
    std::uint64_t value_bits = 0;
    int rejected = 0;
    std::int32_t record_count = 0;
    std::uintptr_t record_address = 0;
    bool record_null = false;
    standin::VersionRecordSlots version{};

    bool operator==(const Outcome&) const = default;
};

std::vector<Operation> mixed_operations()
{
    std::vector<Operation> operations;
    std::size_t request = 0;
    for (double n : COUNTS) {
        for (double alpha : LEVELS) {
            for (const std::string& method : METHODS) {
                std::vector<Argument> arguments{n, alpha};
                if (method != NO_METHOD) {
                    arguments.emplace_back(method);
                }
                operations.emplace_back(Evaluate{std::move(arguments)});
                if (operations.size() % REGISTER_EVERY == 0) {
                    operations.emplace_back(Register{REQUESTS[request++ % REQUESTS.size()]});
                }
                if (operations.size() % VERSION_EVERY == 0) {
                    operations.emplace_back(Version{});
                }
            }
        }
    }
    return operations;
}

class Concurrency : public ModuleTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        const standin::RegisteredFunction* function = module.find_function("LJUNGCV");
        ASSERT_NE(function, nullptr);
        entry = function->entry;
        query = module.descriptors().at(0)->query;
        host.set_upcase_via_service(GetParam());
    }

    Outcome run(const Operation& operation) const
    {
        Outcome outcome;
        if (const auto* evaluate = std::get_if<Evaluate>(&operation)) {
            standin::PreparedCall call(evaluate->arguments);
            const standin::Evaluation evaluation = call.invoke(entry);
            outcome.status = evaluation.status;
            outcome.value_bits = std::bit_cast<std::uint64_t>(evaluation.value);
            outcome.rejected = evaluation.rejected_argument();
        } else if (const auto* request = std::get_if<Register>(&operation)) {
            void* record = query(request->request);
            outcome.record_null = record == nullptr;
            if (record != nullptr && request->request == REQUEST_FUNCTION_NAMES) {
                const auto* names = static_cast<const FunctionNamesRecord*>(record);
                outcome.record_count = names->count;
                outcome.record_address = reinterpret_cast<std::uintptr_t>(names->functions);
            } else if (record != nullptr) {
                FunctionEntry registered = nullptr;
                std::memcpy(&registered, static_cast<const unsigned char*>(record) + 8, sizeof registered);
                outcome.record_address = reinterpret_cast<std::uintptr_t>(registered);
            }
        } else {
            outcome.version = module.version_record();
        }
        return outcome;
    }

    FunctionEntry entry = nullptr;
    ModuleQuery query = nullptr;
};

TEST_P(Concurrency, MixedCallsOnManyThreadsGiveTheSingleThreadResults)
{
    const std::vector<Operation> operations = mixed_operations();
    ASSERT_GT(operations.size(), 1500u);
    const auto registrations = static_cast<std::size_t>(
        std::count_if(operations.begin(), operations.end(),
                      [](const Operation& o) { return std::holds_alternative<Register>(o); }));
    const auto allocating = static_cast<std::size_t>(std::count_if(
        operations.begin(), operations.end(), [](const Operation& o) {
            const auto* r = std::get_if<Register>(&o);
            return r != nullptr && (r->request == REQUEST_FUNCTION_NAMES || r->request == REQUEST_FUNCTION_ENTRIES);
        }));
    ASSERT_GT(registrations, 0u);

    // One thread alone.
    host.clear_usage_marks();
    const std::size_t allocations_before = host.allocations().size();
    const std::size_t upcase_calls_before = host.upcase_calls().size();
    std::vector<Outcome> expected;
    expected.reserve(operations.size());
    for (const Operation& operation : operations) {
        expected.push_back(run(operation));
    }
    const std::size_t upcase_calls_alone = host.upcase_calls().size() - upcase_calls_before;
    ASSERT_EQ(host.allocations().size(), allocations_before + allocating);

    // Every thread runs every operation, each starting at its own place in
    // the list, all released at the same moment.
    std::vector<std::vector<Outcome>> outcomes(THREADS, std::vector<Outcome>(operations.size()));
    std::latch start(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            const std::size_t offset = operations.size() * static_cast<std::size_t>(t) / THREADS;
            start.arrive_and_wait();
            for (std::size_t k = 0; k < operations.size(); ++k) {
                const std::size_t i = (offset + k) % operations.size();
                outcomes[static_cast<std::size_t>(t)][i] = run(operations[i]);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    for (int t = 0; t < THREADS; ++t) {
        for (std::size_t i = 0; i < operations.size(); ++i) {
            ASSERT_EQ(outcomes[static_cast<std::size_t>(t)][i], expected[i]) << "thread " << t << ", operation " << i;
        }
    }

    // The host saw every request and upper-case call once per thread, and
    // nothing went to its error reporter.
    const std::vector<test_support::AllocationRecord> allocations = host.allocations();
    ASSERT_EQ(allocations.size(), allocations_before + (THREADS + 1) * allocating);
    for (std::size_t i = allocations_before; i < allocations.size(); ++i) {
        EXPECT_FALSE(allocations[i].failed);
        EXPECT_EQ(allocations[i].flags, RECORD_ALLOC_FLAGS);
    }
    EXPECT_TRUE(host.reported_errors().empty());
    const std::vector<test_support::UpcaseCall> upcase_calls = host.upcase_calls();
    EXPECT_EQ(upcase_calls.size() - upcase_calls_before, (THREADS + 1) * upcase_calls_alone);
    EXPECT_EQ(host.usage_mark(UPCASE_COMPONENT), GetParam() ? 1 : 0);
    if (GetParam()) {
        EXPECT_GT(upcase_calls_alone, 0u);
    } else {
        EXPECT_EQ(upcase_calls_alone, 0u);
    }
}

std::string upper_casing(const ::testing::TestParamInfo<bool>& via_service)
{
    return via_service.param ? "ThroughService" : "ByTable";
}

INSTANTIATE_TEST_SUITE_P(UpperCasing, Concurrency, ::testing::Values(false, true), upper_casing);

// The evaluations in the mix do what they are there for: every kind of
// outcome occurs, so agreement between threads covers all of them.
TEST_P(Concurrency, TheMixHoldsEveryOutcome)
{
    std::array<int, 4> rejected{};
    int solved = 0;
    int no_result = 0;
    for (const Operation& operation : mixed_operations()) {
        if (std::holds_alternative<Evaluate>(operation)) {
            const Outcome outcome = run(operation);
            rejected[static_cast<std::size_t>(outcome.rejected)] += outcome.status == STATUS_INVALID_ARGUMENT;
            solved += outcome.status == STATUS_OK;
            no_result += outcome.status == STATUS_NO_RESULT;
        }
    }
    EXPECT_GT(solved, 100);
    EXPECT_GT(no_result, 10);
    EXPECT_GT(rejected[1], 10);
    EXPECT_GT(rejected[2], 10);
    EXPECT_GT(rejected[3], 10);
}

}  // namespace
