// One time series as `ljungcv outliers` reads it: one value a line, or CSV
// with a header that names a value column and, optionally, a time column.
// An empty field (or NA) is a missing value.
#ifndef LJUNGCV_SERIES_INPUT_H
#define LJUNGCV_SERIES_INPUT_H

#include <cstddef>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"

namespace ljungcv {

// The most values a series may have: the procedure holds the series and its
// weights in memory, and its locate stage grows with the square of n.
inline constexpr std::size_t MAX_SERIES_VALUES = 100000;

// Input that is not a series; what() says where and why, user text escaped.
class SeriesInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Series {
    std::vector<double> values;      // NaN for a missing value
    std::vector<std::string> times;  // as written, one per value; empty without a time column
};

// The columns a header names: the value column, and the time column if any.
struct SeriesColumns {
    std::size_t count = 1;  // fields a record holds
    std::size_t value = 0;
    std::optional<std::size_t> time;
};

// The columns of `header` as read_series takes them, the column `aside`
// (a long file's id column) left out of the choice. Throws SeriesInputError.
SeriesColumns series_columns(const CsvRecord& header, std::optional<std::size_t> aside = std::nullopt);

// The value of a field: NaN for a missing one (empty or NA). Throws
// SeriesInputError naming `line` for text or an infinite number.
double series_value(std::string_view field, std::size_t line);

// Reads the whole series. Without a header every record is one value. A
// header (a first record without a number) names the columns: "time" or
// "date" is the time column (any case); the value column is the one named
// "value" or "y", else the only other one. Throws SeriesInputError.
Series read_series(CsvReader& reader);

}  // namespace ljungcv

#endif
