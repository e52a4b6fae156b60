// Number lists on the command line: values, ranges, and the errors.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ljungcv
