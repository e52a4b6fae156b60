// CSV as spreadsheets, R's write.csv and pandas write it (RFC 4180), one
// line at a time: fields may be quoted, a quote inside is doubled.
//
// Reading is lenient where people's files are: fields are separated by
// commas or by blanks and tabs. Where a line has commas, each comma ends a
// field, so an empty field between two commas (or before the first, or
// after the last) counts, and blanks around a field are dropped; blanks
// alone separate too, runs of them as one. A # outside quotes begins a
// comment that runs to the end of the line, wherever it stands. A quoted
// field does not continue onto the next line.
#ifndef LJUNGCV_CSV_H
#define LJUNGCV_CSV_H

#include <array>
#include <string>
#include <string_view>

#include "platform/output_buffer.h"

namespace ljungcv {

// The fields of one line. At most `fields.size()` are kept; `count` counts
// them all.
struct CsvFields {
    static constexpr std::size_t KEPT = 16;
    std::array<std::string_view, KEPT> fields;
    std::size_t count = 0;
    std::string error;  // why the line cannot be read, or empty
};

// Splits `line` (without its end of line). Unquoted fields point into
// `line`; quoted ones into `scratch`, which must outlive the result.
CsvFields split_csv_line(std::string_view line, std::string& scratch);

// Writes `field`, quoted when it holds a comma, a quote or a line break.
void write_csv_field(platform::OutputBuffer& out, std::string_view field);

}  // namespace ljungcv

#endif
