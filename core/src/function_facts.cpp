#include "core/function_facts.h"

#include "core/numbers.h"
#include "host/ljungcv_function.h"

namespace core {

const char* const FUNCTION_NAME = LJUNGCV_FUNCTION_NAME;
const double LARGEST_COUNT = ::LARGEST_COUNT;
const double LOWEST_LEVEL = MIN_ALPHA;
const double HIGHEST_LEVEL = MAX_ALPHA;

std::string level_range_text()
{
    return format_shortest(LOWEST_LEVEL) + " to " + format_shortest(HIGHEST_LEVEL);
}

}  // namespace core
