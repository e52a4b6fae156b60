// Blank-padded text: measuring and justifying fields, finding words.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "text/blank_text.h"

namespace {

struct JustifyCase {
    std::string field;
    char mode;
    std::string after;
    std::int32_t length;
    std::int32_t position;
};

class Justify : public ::testing::TestWithParam<JustifyCase> {};

// The field sits between guard bytes that must survive every call.
TEST_P(Justify, MovesTheTextAndReportsItsPlace)
{
    const JustifyCase c = GetParam();
    std::string buffer = "#" + c.field + "#";
    std::int32_t length = -1;
    std::int32_t position = -1;
    justify_field(buffer.data() + 1, static_cast<std::int32_t>(c.field.size()), c.mode, &length, &position);
    EXPECT_EQ(buffer, "#" + c.after + "#") << "mode " << c.mode;
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(position, c.position);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Justify,
    ::testing::Values(
        // Measuring only.
        JustifyCase{"   AB     ", 'n', "   AB     ", 2, 3}, JustifyCase{"   AB     ", 'X', "   AB     ", 2, 3},
        JustifyCase{std::string("\tA B\0", 5), 'n', std::string("\tA B\0", 5), 5, 0},
        // Centre, left, right; lower case acts alike.
        JustifyCase{"   AB     ", 'C', "    AB    ", 2, 4}, JustifyCase{"   AB     ", 'c', "    AB    ", 2, 4},
        JustifyCase{"   AB     ", 'L', "AB        ", 2, 0}, JustifyCase{"   AB     ", 'l', "AB        ", 2, 0},
        JustifyCase{"   AB     ", 'R', "        AB", 2, 8}, JustifyCase{"   AB     ", 'r', "        AB", 2, 8},
        // The odd leftover blank goes to the right.
        JustifyCase{"AB   ", 'C', " AB  ", 2, 1},
        // Inner blanks are part of the text.
        JustifyCase{"  A  B ", 'L', "A  B   ", 4, 0}, JustifyCase{"  A  B ", 'R', "   A  B", 4, 3},
        // Already in place: untouched.
        JustifyCase{"AB  ", 'L', "AB  ", 2, 0}, JustifyCase{"  AB", 'R', "  AB", 2, 2},
        JustifyCase{" AB ", 'C', " AB ", 2, 1}, JustifyCase{"ABCDE", 'C', "ABCDE", 5, 0},
        // Nothing but blanks, or nothing at all.
        JustifyCase{"     ", 'C', "     ", 0, 0}, JustifyCase{"     ", 'L', "     ", 0, 0},
        JustifyCase{"     ", 'R', "     ", 0, 0}, JustifyCase{"", 'C', "", 0, 0}, JustifyCase{"", 'n', "", 0, 0}));

TEST(JustifyResults, NullResultPointersAreNotWritten)
{
    std::string field = "  AB ";
    justify_field(field.data(), 5, 'L', nullptr, nullptr);
    EXPECT_EQ(field, "AB   ");
    std::int32_t length = -1;
    justify_field(field.data(), 5, 'R', &length, nullptr);
    EXPECT_EQ(field, "   AB");
    EXPECT_EQ(length, 2);
    std::int32_t position = -1;
    justify_field(field.data(), 5, 'C', nullptr, &position);
    EXPECT_EQ(field, " AB  ");
    EXPECT_EQ(position, 1);
}

TEST(JustifyResults, NegativeWidthIsAnEmptyField)
{
    char field[] = "AB";
    std::int32_t length = -1;
    std::int32_t position = -1;
    justify_field(field, -4, 'C', &length, &position);
    EXPECT_EQ(std::string(field), "AB");
    EXPECT_EQ(length, 0);
    EXPECT_EQ(position, 0);
}

struct FindCase {
    const char* what;
    std::string text;
    const char* word;
    std::int32_t word_length;
    std::int32_t expected;
};

class Find : public ::testing::TestWithParam<FindCase> {};

TEST_P(Find, ReturnsTheFirstPositionOrMinusOne)
{
    const FindCase c = GetParam();
    // The text is copied to a buffer of exactly its length.
    std::string text = c.text;
    EXPECT_EQ(find_text(text.data(), static_cast<std::int32_t>(text.size()), c.word, c.word_length), c.expected)
        << c.what;
}

const char* const KEYWORDS = " L C CORR CORRECT LJUNG CORRECTED ";

INSTANTIATE_TEST_SUITE_P(
    Cases, Find,
    ::testing::Values(
        FindCase{"empty word", "abc", "x", 0, 0}, FindCase{"empty word, empty text", "", "x", 0, 0},
        FindCase{"null word", "abc", nullptr, -1, 0}, FindCase{"empty text", "", "a", 1, -1},
        FindCase{"first of several", "abcabc", "bc", 2, 1}, FindCase{"at the very end", "abcd", "cd", 2, 2},
        FindCase{"one byte longer than the text", "abc", "abcd", 4, -1},
        FindCase{"as long as the text", "abc", "abc", 3, 0}, FindCase{"case is significant", "ABC", "b", 1, -1},
        FindCase{"length up to the first NUL", "xxab", "ab\0zz", -1, 2},
        FindCase{"NUL-measured word of length 0", "abc", "\0", -1, 0},
        FindCase{"NUL-measured word, empty text", "", "\0", -1, -1},
        FindCase{"framed keyword", KEYWORDS, " CORRECT ", 9, 9},
        FindCase{"run of keywords", KEYWORDS, " L C CORR ", 10, 0},
        FindCase{"prefix of a keyword", KEYWORDS, " CORRE ", 7, -1}),
    [](const ::testing::TestParamInfo<FindCase>& param) { return "case" + std::to_string(param.index); });

}  // namespace
