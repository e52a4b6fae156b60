// The forwarding entries: the usage mark of the service's component, then
// the service in its slot with the caller's arguments.
#include <string>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

using standin::Argument;

TEST_F(ModuleTest, UpcaseGoesThroughComponent0Slot331WhenTheHostOffersIt)
{
    host.set_upcase_via_service(true);
    host.clear_usage_marks();
    const std::vector<Argument> arguments{100.0, 0.05, std::string("  lJuNg ")};
    const standin::Evaluation result = module.evaluate("LJUNGCV", arguments);
    EXPECT_EQ(result.status, STATUS_OK);

    const std::vector<test_support::UpcaseCall> calls = host.upcase_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].component, 0);
    EXPECT_EQ(calls[0].slot, 331);
    EXPECT_EQ(calls[0].text_before, "lJuNg");  // the trimmed word, its length unchanged
    EXPECT_EQ(calls[0].text_after, "LJUNG");
    for (int c = 0; c < standin::HostEnvironment::COMPONENTS; ++c) {
        EXPECT_EQ(host.usage_mark(c), c == 0 ? 1 : 0) << "component " << c;
    }
}

TEST_F(ModuleTest, UpcaseByTableCallsNoService)
{
    host.set_upcase_via_service(false);
    host.clear_usage_marks();
    const std::vector<Argument> arguments{100.0, 0.05, std::string("ljung")};
    EXPECT_EQ(module.evaluate("LJUNGCV", arguments).status, STATUS_OK);
    EXPECT_TRUE(host.upcase_calls().empty());
    for (int c = 0; c < standin::HostEnvironment::COMPONENTS; ++c) {
        EXPECT_EQ(host.usage_mark(c), 0) << "component " << c;
    }
}

TEST_F(ModuleTest, ErrorReportGoesThroughComponent39Slot4)
{
    module.functions();  // registration done before the failure is armed
    host.clear_usage_marks();
    host.fail_allocation(host.allocations().size());
    EXPECT_EQ(module.descriptors()[0]->query(REQUEST_FUNCTION_NAMES), nullptr);

    const std::vector<test_support::ReportedError> errors = host.reported_errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].component, 39);
    EXPECT_EQ(errors[0].slot, 4);
    EXPECT_EQ(errors[0].code, 1016);
    EXPECT_EQ(errors[0].detail, 0);
    for (int c = 0; c < standin::HostEnvironment::COMPONENTS; ++c) {
        EXPECT_EQ(host.usage_mark(c), c == 39 ? 1 : 0) << "component " << c;
    }
}

}  // namespace
