// LJUNGCV evaluated the host's way: checks in their order, the one flag,
// method keywords, status codes, and nothing in the call frame changed but
// invalid bits.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

using standin::Argument;

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
const double OTHER_MISSING = std::bit_cast<double>(std::uint64_t{0xFFFF000000000001});
const double NEXT_ABOVE_TENTH = std::nextafter(0.1, 1.0);

// Values at n = 10 (and 25), alpha = 0.05, nine decimals.
constexpr double CORRECTED_10 = 3.087110345;
constexpr double LJUNG_10 = 3.403811528;
constexpr double CORRECTED_25 = 3.432815470;
constexpr double LJUNG_25 = 3.535113221;
constexpr double NINE_DECIMALS = 5e-10;

// Everything of a call frame that the module may not change: its bytes
// with the invalid bits masked, the argument values and the method text.
struct FrameImage {
    std::vector<unsigned char> frame;
    std::vector<double> numbers;
    std::vector<unsigned char> descriptor;
    std::string text;

    static FrameImage of(standin::PreparedCall& call)
    {
        FrameImage image;
        const CallFrame* frame = call.frame();
        const auto* bytes = reinterpret_cast<const unsigned char*>(frame);
        image.frame.assign(bytes, bytes + call_frame_size(call.argument_count()));
        for (int i = 0; i < call.argument_count(); ++i) {
            image.frame[offsetof(CallFrame, arguments) + sizeof(ArgumentSlot) * i + 1] &= ~ARGUMENT_INVALID;
        }
        for (int i = 0; i < std::min(call.argument_count(), 2); ++i) {
            image.numbers.push_back(*static_cast<const double*>(frame->arguments[i].value));
        }
        if (call.argument_count() == 3) {
            const auto* text = static_cast<const TextDescriptor*>(frame->arguments[2].value);
            const auto* d = reinterpret_cast<const unsigned char*>(text);
            image.descriptor.assign(d, d + sizeof(TextDescriptor));
            image.text.assign(text->chars, static_cast<std::size_t>(text->length));
        }
        return image;
    }

    bool operator==(const FrameImage& other) const
    {
        return frame == other.frame && descriptor == other.descriptor && text == other.text &&
               std::memcmp(numbers.data(), other.numbers.data(), numbers.size() * sizeof(double)) == 0;
    }
};

class Evaluate : public ModuleTest {
protected:
    FunctionEntry entry() { return module.find_function("LJUNGCV")->entry; }

    // Evaluates through a fresh call frame, checking that the module changed
    // nothing in it but invalid bits, and at most one of them.
    standin::Evaluation evaluate(const std::vector<Argument>& arguments)
    {
        standin::PreparedCall call(arguments);
        const FrameImage before = FrameImage::of(call);
        const standin::Evaluation result = call.invoke(entry());
        EXPECT_TRUE(FrameImage::of(call) == before) << "the module wrote outside the invalid bits";
        EXPECT_LE(std::count(result.flagged.begin(), result.flagged.end(), true), 1);
        if (result.status != STATUS_OK) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(result.value), MISSING_VALUE_BITS);
        } else {
            EXPECT_TRUE(std::isfinite(result.value));
        }
        return result;
    }
};

struct Case {
    const char* what;
    std::vector<Argument> arguments;
    std::int32_t status;
    int flagged;      // 1-based, 0 for none
    double expected;  // when status is STATUS_OK
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.what;
}

class EvaluateCases : public Evaluate, public ::testing::WithParamInterface<Case> {};

TEST_P(EvaluateCases, InBothUpcasingPaths)
{
    const Case& c = GetParam();
    for (const bool via_service : {false, true}) {
        host.set_upcase_via_service(via_service);
        const standin::Evaluation result = evaluate(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.rejected_argument(), c.flagged) << c.what;
        if (c.status == STATUS_OK) {
            EXPECT_NEAR(result.value, c.expected, NINE_DECIMALS) << c.what;
        }
    }
}

Case ok(const char* what, std::vector<Argument> arguments, double expected)
{
    return {what, std::move(arguments), STATUS_OK, 0, expected};
}
Case rejected(const char* what, std::vector<Argument> arguments, int argument)
{
    return {what, std::move(arguments), STATUS_INVALID_ARGUMENT, argument, 0.0};
}
Case no_result(const char* what, std::vector<Argument> arguments)
{
    return {what, std::move(arguments), STATUS_NO_RESULT, 0, 0.0};
}

INSTANTIATE_TEST_SUITE_P(
    Checks, EvaluateCases,
    ::testing::Values(
        // n is checked first: only argument 1 is flagged.
        rejected("missing n", {MISSING_VALUE, 0.05}, 1),
        rejected("other missing pattern", {OTHER_MISSING, 0.05}, 1),
        rejected("missing n, missing alpha", {MISSING_VALUE, MISSING_VALUE}, 1),
        rejected("missing n, alpha out of range", {MISSING_VALUE, 0.5, std::string("X")}, 1),
        // alpha next.
        rejected("missing alpha", {10.0, MISSING_VALUE}, 2), rejected("alpha above 0.1", {10.0, 0.2}, 2),
        rejected("next double above 0.1", {10.0, NEXT_ABOVE_TENTH}, 2),
        rejected("negative alpha", {10.0, -1e-300}, 2), rejected("alpha -infinity", {10.0, -INF}, 2),
        rejected("alpha +infinity", {10.0, INF}, 2),
        rejected("alpha before method", {10.0, 0.2, std::string("nonsense")}, 2),
        ok("alpha 0.1 itself", {10.0, 0.1}, 2.823938539),
        no_result("alpha 0, two arguments", {10.0, 0.0}),
        no_result("alpha -0.0", {10.0, -0.0}),
        no_result("alpha 0, method C", {1.0, 0.0, std::string("C")}),
        no_result("alpha 0, method L", {10.0, 0.0, std::string("L")}),
        // n truncates toward zero.
        ok("n 25.9 is 25", {25.9, 0.05}, CORRECTED_25), ok("n 25.9 is 25, L", {25.9, 0.05, std::string("L")}, LJUNG_25),
        no_result("n 0.9 is 0", {0.9, 0.05}), no_result("n -1.5 is -1", {-1.5, 0.05}),
        no_result("n 1 with L", {1.0, 0.05, std::string("L")}),
        no_result("n 1 with LJUNG", {1.0, 0.05, std::string("LJUNG")}),
        ok("n 1 corrected", {1.0, 0.05}, 1.959963982),
        // n that is not a 32-bit count: no value, never a wrapped count.
        no_result("n NaN", {NaN, 0.05}), no_result("n +infinity", {INF, 0.05}),
        no_result("n -infinity", {-INF, 0.05, std::string("L")}), no_result("n 2^31", {2147483648.0, 0.05}),
        no_result("n 2^32 + 10", {4294967306.0, 0.05}), no_result("n below -2^31", {-2147483649.0, 0.05}),
        ok("n 2^31 - 0.5", {2147483647.5, 0.05, std::string("L")}, 6.796951488),
        no_result("n -2^31 - 0.5", {-2147483648.5, 0.05}),
        rejected("n NaN, alpha out of range", {NaN, 0.2}, 2),
        // alpha NaN without the missing pattern passes the range test but
        // has no value.
        no_result("alpha NaN", {10.0, NaN}), no_result("alpha NaN, L", {10.0, NaN, std::string("L")}),
        // Method keywords: any case, blanks around, adjacent runs.
        ok("two arguments: corrected", {10.0, 0.05}, CORRECTED_10),
        ok("L", {10.0, 0.05, std::string("L")}, LJUNG_10),
        ok("ljung mixed case, blanks", {10.0, 0.05, std::string("   LjUnG    ")}, LJUNG_10),
        ok("C", {10.0, 0.05, std::string("C")}, CORRECTED_10),
        ok("corr lower case", {10.0, 0.05, std::string("corr")}, CORRECTED_10),
        ok("CORRECT", {10.0, 0.05, std::string("CORRECT")}, CORRECTED_10),
        ok("CORRECTED, 9 characters", {10.0, 0.05, std::string(" CORRECTED ")}, CORRECTED_10),
        ok("L C", {10.0, 0.05, std::string("L C")}, LJUNG_10),
        ok("L C CORR", {10.0, 0.05, std::string("l c corr")}, LJUNG_10),
        ok("C CORR", {10.0, 0.05, std::string("C CORR")}, CORRECTED_10),
        rejected("L and C two blanks apart", {10.0, 0.05, std::string("L  C")}, 3),
        rejected("CORREC", {10.0, 0.05, std::string("CORREC")}, 3),
        rejected("CORRECTE", {10.0, 0.05, std::string("CORRECTE")}, 3),
        rejected("LJ", {10.0, 0.05, std::string("LJ")}, 3), rejected("X", {10.0, 0.05, std::string("X")}, 3),
        rejected("10 characters", {10.0, 0.05, std::string("CORRECTEDX")}, 3),
        rejected("10 from first to last non-blank", {10.0, 0.05, std::string(" L C CORRE ")}, 3),
        rejected("empty text", {10.0, 0.05, std::string("")}, 3),
        rejected("all blanks", {10.0, 0.05, std::string("      ")}, 3),
        rejected("tab before", {10.0, 0.05, std::string("\tL")}, 3),
        rejected("tab after", {10.0, 0.05, std::string("L\t")}, 3),
        rejected("NUL after", {10.0, 0.05, std::string("L\0", 2)}, 3),
        rejected("NUL before", {10.0, 0.05, std::string("\0C", 2)}, 3),
        rejected("blank-framed list itself", {10.0, 0.05, std::string(" ")}, 3),
        rejected("high bytes", {10.0, 0.05, std::string("\xFF\xFE")}, 3),
        rejected("method after n 1", {1.0, 0.05, std::string("Q")}, 3)),
    [](const ::testing::TestParamInfo<Case>& param) { return "case" + std::to_string(param.index); });

TEST_F(Evaluate, FlagsAreOredAndNeverCleared)
{
    const std::vector<Argument> arguments{10.0, 0.5};
    standin::PreparedCall call(arguments);
    call.frame()->arguments[1].invalid = 0xF0;
    call.frame()->arguments[0].invalid = 0x01;
    const standin::Evaluation result = call.invoke(entry());
    EXPECT_EQ(result.status, STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(call.frame()->arguments[1].invalid, 0xF1);
    EXPECT_EQ(call.frame()->arguments[0].invalid, 0x01);
}

TEST_F(Evaluate, ResultIsWrittenOnEveryPath)
{
    const std::vector<std::vector<Argument>> calls = {
        {10.0, 0.05}, {MISSING_VALUE, 0.05}, {10.0, 0.5}, {10.0, 0.05, std::string("X")}, {1.0, 0.05, std::string("L")}};
    for (const auto& arguments : calls) {
        standin::PreparedCall call(arguments);
        double result = 12345.0;
        call.invoke(entry());  // warm
        const std::int32_t status = entry()(call.frame(), &result);
        EXPECT_NE(result, 12345.0) << "status " << status;
    }
}

TEST_F(Evaluate, MethodsGiveTheSameBitsThroughEveryKeyword)
{
    for (const double n : {2.0, 3.0, 99.0, 150.0, 1e6}) {
        const double corrected = evaluate({n, 0.01}).value;
        const double ljung = evaluate({n, 0.01, std::string("L")}).value;
        EXPECT_NE(corrected, ljung) << n;
        for (const char* keyword : {"C", "CORR", "correct", "Corrected", "C CORR"}) {
            EXPECT_EQ(evaluate({n, 0.01, std::string(keyword)}).value, corrected) << keyword;
        }
        for (const char* keyword : {"l", "LJUNG", "L C", "L C CORR"}) {
            EXPECT_EQ(evaluate({n, 0.01, std::string(keyword)}).value, ljung) << keyword;
        }
    }
}

}  // namespace
