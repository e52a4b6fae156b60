// What each record of one of eval's inputs is: a header, a data line, or
// an error row, so that no line is dropped unsaid.
//
// The header rule: the first record of an input is a header when one of
// its fields is n (any case) and none of its fields is written as a number.
// It names the columns n, alpha and method, each at most once, anywhere
// among other columns; without an alpha column every line takes --alpha.
// A first record with a field n and a number is neither, and so is one
// that names alpha or method without n: both are error rows. Any other
// first record is data, its fields n, alpha and method in that order.
//
// A data line under a header has exactly the header's number of fields.
// A header in error (a column named twice, no alpha column and no --alpha)
// leaves the rest of its input unevaluated: each line gets an error row
// that says so.
#ifndef LJUNGCV_EVAL_LINES_H
#define LJUNGCV_EVAL_LINES_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "csv.h"

namespace ljungcv {

// The texts of a data line's n, alpha and method; alpha and method are
// empty where the line gives none.
struct LineFields {
    std::string_view n;
    std::string_view alpha;
    std::string_view method;
    bool alpha_given = false;
};

class InputLines {
public:
    enum class Kind {
        header,   // names the columns; no row
        data,     // `fields` are set
        error,    // an error row; `why` says why
        skipped,  // an error row under a header in error; reported once, by skipped_lines()
    };

    // `alpha_given`: whether --alpha gives the level of lines without one.
    explicit InputLines(bool alpha_given) : alpha_given_(alpha_given) {}

    // Takes the next record of the input, one read without error.
    Kind take(const CsvRecord& record, LineFields& fields, std::string& why);
    // A record that could not be read: an error row, and the end of the
    // chance of a header.
    void take_unreadable();

    // "lines 3-9: not evaluated, ..." after records were skipped, or empty.
    std::string skipped_lines() const;

private:
    struct Columns {
        static constexpr std::size_t NONE = static_cast<std::size_t>(-1);
        bool from_header = false;
        std::size_t count = 0;  // the header's number of fields
        std::size_t n = 0;
        std::size_t alpha = 1;
        std::size_t method = 2;
        bool blank_separated = false;  // the header's fields are separated by blanks
    };

    Kind first_record(const CsvRecord& record, std::string& why);
    Kind data(const CsvRecord& record, LineFields& fields, std::string& why) const;

    bool alpha_given_;
    std::optional<Columns> columns_;  // set by the first record
    std::size_t header_line_ = 0;  // a header in error's line, or 0
    std::size_t first_skipped_ = 0;
    std::size_t last_skipped_ = 0;
};

}  // namespace ljungcv

#endif
