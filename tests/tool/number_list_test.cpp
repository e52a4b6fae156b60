// Number lists on the command line: values, ranges, and the errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "number_list.h"

namespace ljungcv {
namespace {

TEST(NumberList, ValuesAndRanges)
{
    const struct {
        const char* text;
        std::vector<double> values;
    } cases[] = {
        {"1:3,5", {1, 2, 3, 5}},
        {"1:10:3", {1, 4, 7, 10}},
        {"+3,4e2", {3, 400}},
        {"0.01:0.05:0.01", {0.01, 0.02, 0.03, 0.04, 0.05}},
        {"0.1234567890123456789", {0.1234567890123456789}},  // a single value keeps every digit
        {"2:2", {2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_number_list(c.text).values(), c.values) << c.text;
    }
}

TEST(NumberList, LongRangesCostNoMemory)
{
    const NumberList list = parse_number_list("1:10000000");
    EXPECT_EQ(list.size(), 10'000'000U);
    EXPECT_EQ(list.ranges().size(), 1U);
    EXPECT_EQ(list.ranges().front().at(9'999'999), 10'000'000.0);
}

TEST(NumberList, ErrorsNameTheItem)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "empty item in list ''"},
        {"1,,2", "empty item"},
        {"5:1", "range '5:1' ends before it starts"},
        {"1:5:0", "range '1:5:0' needs a positive step"},
        {"a", "'a' in 'a' is not a finite number"},
        {"1:2:3:4", "range '1:2:3:4' has more than FIRST:LAST:STEP"},
        {"1:inf", "'inf' in '1:inf' is not a finite number"},
        {"1:1e9", "range '1:1e9' has too many values"},
        {"1:9999999,5,6", "too many values"},
        {"0.01,1e400", "'1e400' in '1e400' is out of range"},
    };
    for (const auto& c : cases) {
        try {
            parse_number_list(c.text);
            ADD_FAILURE() << "accepted '" << c.text << "'";
        } catch (const ListError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(Numbers, AsUsersTypeThem)
{
    const std::string range = ": a double holds magnitudes from about 4.9e-324 to 1.8e308";
    const struct {
        const char* text;
        double value;  // when read
        const char* why;  // else
        const char* fraction;  // the count rule's verdict on the value
    } cases[] = {
        {"10", 10, "", ""},
        {"+10", 10, "", ""},
        {"-.5", -0.5, "", "n = -0.5 is not a whole number of observations"},
        {"10.5", 10.5, "", "n = 10.5 is not a whole number of observations"},
        {"1e3", 1000, "", ""},
        {"-inf", -HUGE_VAL, "", ""},
        {"1e400", 0, "'1e400' is out of range", ""},
        {"-1e400", 0, "'-1e400' is out of range", ""},
        {"1e-400", 0, "'1e-400' is out of range", ""},
        {"+1e400", 0, "'+1e400' is out of range", ""},
        {"abc", 0, "'abc' is not a number", ""},
        {"1e400x", 0, "'1e400x' is not a number", ""},
        {"++1", 0, "'++1' is not a number", ""},
        {"", 0, "'' is not a number", ""},
        {" 1", 0, "' 1' is not a number", ""},
    };
    for (const auto& c : cases) {
        std::string why;
        const std::optional<double> value = read_number(c.text, why);
        EXPECT_EQ(value.has_value(), *c.why == '\0') << c.text;
        EXPECT_EQ(written_as_number(c.text), value.has_value() || why.find("out of range") != std::string::npos)
            << c.text;
        if (value) {
            EXPECT_EQ(*value, c.value) << c.text;
            EXPECT_EQ(fractional_count_problem(*value), c.fraction) << c.text;
        } else {
            EXPECT_EQ(why.substr(0, std::strlen(c.why)), c.why) << c.text;
            EXPECT_EQ(why.find("out of range") != std::string::npos, why.ends_with(range)) << why;
        }
    }
}

}  // namespace
}  // namespace ljungcv
