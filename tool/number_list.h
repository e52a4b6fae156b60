// Lists of numbers on the command line: comma-separated values and ranges
// FIRST:LAST[:STEP] (STEP 1 by default, LAST included when reached).
// Example: 1:20,50,100:1000:100. A list keeps its ranges, not their values,
// so a long range costs no memory; its values are made as they are visited.
#ifndef LJUNGCV_NUMBER_LIST_H
#define LJUNGCV_NUMBER_LIST_H

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ljungcv {

class ListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Most values a list may expand to.
inline constexpr std::size_t MAX_LIST_VALUES = 10'000'000;

// FIRST + i * STEP for i below `count`; a single value is a range of one
// with step 0, and keeps every digit written.
struct NumberRange {
    double first;
    double step;
    std::size_t count;

    double at(std::size_t i) const;
};

class NumberList {
public:
    explicit NumberList(std::vector<NumberRange> ranges);

    const std::vector<NumberRange>& ranges() const { return ranges_; }
    std::size_t size() const { return size_; }

    template <class Visit>
    void for_each(Visit&& visit) const
    {
        for (const NumberRange& range : ranges_) {
            for (std::size_t i = 0; i < range.count; ++i) {
                visit(range.at(i));
            }
        }
    }

    // Every value, in order (for lists that are kept whole anyway).
    std::vector<double> values() const;

private:
    std::vector<NumberRange> ranges_;
    std::size_t size_ = 0;
};

// Throws ListError naming the offending item.
NumberList parse_number_list(std::string_view text);

// Numbers as a user types them: the double the whole text denotes, or
// nothing, with `why` saying "'abc' is not a number" or, for a number no
// double holds (1e400, 1e-400), "'1e400' is out of range ...".
std::optional<double> read_number(std::string_view text, std::string& why);

// Whether `text` is written as a number, in range or not.
bool written_as_number(std::string_view text);

// The one rule for a count of observations a user typed, everywhere in the
// command: a fractional n is refused rather than truncated, since whoever
// typed 10.5 did not mean 10. Empty when `n` is no fraction.
std::string fractional_count_problem(double n);

}  // namespace ljungcv

#endif
