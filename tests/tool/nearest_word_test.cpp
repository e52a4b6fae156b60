// The nearest subcommand to a mistyped word.
#include <gtest/gtest.h>

#include "nearest_word.h"

namespace ljungcv {
namespace {

TEST(EditDistance, CountsEachKindOfEditOnce)
{
    const struct {
        const char* a;
        const char* b;
        std::size_t distance;
    } cases[] = {
        {"table", "table", 0}, {"TABLE", "table", 0},  // case is no edit
        {"tabel", "table", 1},                          // two neighbours swapped
        {"tble", "table", 1},  {"tablee", "table", 1}, {"tavle", "table", 1},
        {"", "plot", 4},       {"plot", "", 4},        {"limits", "plot", 5},
        {"ca", "abc", 3},  // a swap is not edited again: not 2, as the unrestricted distance has it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(edit_distance(c.a, c.b), c.distance) << c.a << " / " << c.b;
        EXPECT_EQ(edit_distance(c.b, c.a), c.distance) << c.b << " / " << c.a;
    }
}

TEST(NearestWord, SuggestsOnlyWhatIsNear)
{
    const std::vector<std::string> subcommands = {"table", "eval", "limits", "info", "plot"};
    const struct {
        const char* word;
        const char* nearest;  // "" for none
    } cases[] = {
        {"tabel", "table"}, {"Table", "table"}, {"tbl", "table"}, {"evl", "eval"},  {"plto", "plot"},
        {"limit", "limits"}, {"lim", "limits"}, {"inof", "info"}, {"x", ""},      {"abc", ""},
        {"evxx", ""},  // two edits are half of eval
        {"plat", "plot"},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> nearest = nearest_word(c.word, subcommands);
        EXPECT_EQ(nearest.value_or(""), c.nearest) << c.word;
    }
}

}  // namespace
}  // namespace ljungcv
