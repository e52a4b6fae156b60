// How the call entry upper-cases a method word: through the host's service
// when the context has text services with upcase_via_service set, by the
// host's table when either is null, and by ASCII letters when no context
// has been stored. The hand-made host's table maps q to L and k to C, and
// its service knows ASCII letters only, so each path shows in the result.
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cv/critical_value.h"
#include "ljungcv_eval.h"
#include "hand_made_context.h"
#include "host_services.h"
#include "standin/call.h"

namespace {

constexpr double N = 10.0;
constexpr double ALPHA = 0.05;

enum class TextServices { None, WithoutUpcase, WithUpcase };
enum class Method { Ljung, Corrected, Rejected };

struct UpcaseCase {
    const char* name;
    TextServices services;
    std::string method;
    Method expected;
    const char* service_saw;  // the word the service received, or null: not called
};

standin::Evaluation evaluate(const std::string& method)
{
    const std::vector<standin::Argument> arguments{N, ALPHA, method};
    standin::PreparedCall call(arguments);
    return call.invoke(ljungcv_eval);
}

void expect_method(const standin::Evaluation& result, Method expected)
{
    const std::int32_t n = static_cast<std::int32_t>(N);
    const double alpha = ALPHA;
    switch (expected) {
    case Method::Ljung:
        EXPECT_EQ(result.status, STATUS_OK);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(result.value),
                  std::bit_cast<std::uint64_t>(ljung_critical_value(&n, &alpha)));
        break;
    case Method::Corrected:
        EXPECT_EQ(result.status, STATUS_OK);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(result.value),
                  std::bit_cast<std::uint64_t>(corrected_critical_value(&n, &alpha)));
        break;
    case Method::Rejected:
        EXPECT_EQ(result.status, STATUS_INVALID_ARGUMENT);
        EXPECT_EQ(result.rejected_argument(), 3);
        break;
    }
}

const UpcaseCase UPCASE_CASES[] = {
    // By table: no text services, or text services without the service.
    {"TableWithoutTextServices", TextServices::None, " q ", Method::Ljung, nullptr},
    {"TableWhenServiceIsNull", TextServices::WithoutUpcase, "q", Method::Ljung, nullptr},
    {"TableMapsEveryByte", TextServices::WithoutUpcase, "k corr", Method::Corrected, nullptr},
    {"TableKnowsAsciiToo", TextServices::None, "ljung", Method::Ljung, nullptr},
    // Through the service: once, with the trimmed word and its length.
    {"ServiceNotTable", TextServices::WithUpcase, "q", Method::Rejected, "q"},
    {"ServiceGetsTrimmedWord", TextServices::WithUpcase, "  lJung ", Method::Ljung, "lJung"},
    {"ServiceAfterLengthCheckOnly", TextServices::WithUpcase, "   ", Method::Rejected, nullptr},
    {"ServiceNotForTooLong", TextServices::WithUpcase, "correctedx", Method::Rejected, nullptr},
};

class UpcasePath : public ::testing::TestWithParam<UpcaseCase> {};

TEST_P(UpcasePath, ChosenByTheContext)
{
    const UpcaseCase& c = GetParam();
    HandMadeContext host;
    host.map('q', 'L');
    host.map('k', 'C');
    if (c.services == TextServices::None) {
        host.no_text_services();
    } else {
        host.text_services(c.services == TextServices::WithUpcase);
    }
    set_host_context(host.context());

    expect_method(evaluate(c.method), c.expected);
    if (c.service_saw == nullptr) {
        EXPECT_TRUE(host.upcase_calls().empty());
    } else {
        ASSERT_EQ(host.upcase_calls().size(), 1u);
        EXPECT_EQ(host.upcase_calls()[0].before, c.service_saw);
        EXPECT_EQ(host.upcase_calls()[0].length, static_cast<std::int32_t>(std::string(c.service_saw).size()));
    }
    set_host_context(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, UpcasePath, ::testing::ValuesIn(UPCASE_CASES),
                         [](const ::testing::TestParamInfo<UpcaseCase>& param) { return std::string(param.param.name); });

// Before mcn_main there is no host table: ASCII letters are upper-cased and
// every other byte is left as it is.
TEST(UpcaseWithoutContext, AsciiLettersOnly)
{
    set_host_context(nullptr);
    ASSERT_EQ(host_context(), nullptr);
    const struct {
        std::string method;
        Method expected;
    } cases[] = {
        {"ljung", Method::Ljung},
        {" Corrected ", Method::Corrected},
        {"l c", Method::Ljung},
        {"q", Method::Rejected},
        {"\xEC", Method::Rejected},  // no byte beyond ASCII becomes a letter
        {"L{", Method::Rejected},    // '{' follows 'z' and stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        expect_method(evaluate(c.method), c.expected);
    }
}

}  // namespace
