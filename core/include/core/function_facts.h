// The function's own facts that a front-end shows or checks against, as the
// function defines them: its name, the counts and the levels it takes.
#ifndef CORE_FUNCTION_FACTS_H
#define CORE_FUNCTION_FACTS_H

#include <string>

namespace core {

// "LJUNGCV"
extern const char* const FUNCTION_NAME;
// The largest count n truncates to; the smallest with a value is 1.
extern const double LARGEST_COUNT;
// The levels the function takes: LOWEST_LEVEL <= alpha <= HIGHEST_LEVEL.
extern const double LOWEST_LEVEL;
extern const double HIGHEST_LEVEL;
// "0 to 0.1", as help texts show the level range.
std::string level_range_text();

}  // namespace core

#endif
