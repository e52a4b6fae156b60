// Lists of numbers on the command line: comma-separated values and ranges
// FIRST:LAST[:STEP] (STEP 1 by default, LAST included when reached).
// Example: 1:20,50,100:1000:100.
#ifndef LJUNGCV_NUMBER_LIST_H
#define LJUNGCV_NUMBER_LIST_H

#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace ljungcv {

class ListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Most values a list may expand to.
inline constexpr std::size_t MAX_LIST_VALUES = 10'000'000;

// Throws ListError naming the offending item.
std::vector<double> parse_number_list(std::string_view text);

}  // namespace ljungcv

#endif
