// CSV as spreadsheets, R's write.csv and pandas write it (RFC 4180): fields
// may be quoted, a quote inside is doubled, and a quoted field may hold
// line breaks, so a record may run over several lines.
//
// Reading is lenient where people's files are: fields are separated by
// commas or by blanks and tabs. Where a line has commas, each comma ends a
// field, so an empty field between two commas (or before the first, or
// after the last) counts, and blanks around a field are dropped; blanks
// alone separate too, runs of them as one. A # outside quotes begins a
// comment that runs to the end of the line, wherever it stands. A line ends
// in LF, CR LF or CR alone (old spreadsheets' files). A UTF-8 byte-order
// mark before the first line is dropped.
#ifndef LJUNGCV_CSV_H
#define LJUNGCV_CSV_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/output_buffer.h"

namespace ljungcv {

// One record: the fields of a line, or of the lines a quoted line break
// joins.
struct CsvRecord {
    std::vector<std::string_view> fields;  // valid until the next read
    std::size_t first_line = 0;  // where the record starts and ends, from 1
    std::size_t last_line = 0;
    std::string error;  // why the record cannot be read, or empty (then no fields)
    bool blank_separated = false;  // some fields are separated by blanks alone
    bool comma_in_number = false;  // an unquoted comma stands between two digits
};

// Records of a file, a pipe or a text in memory, in constant memory: a
// record longer than MAX_RECORD bytes is reported as such (its text is
// never kept) and reading goes on after it. Blank lines and comments give
// no record.
class CsvReader {
public:
    static constexpr std::size_t MAX_RECORD = std::size_t{1} << 20;
    static constexpr std::size_t BLOCK = std::size_t{1} << 16;

    enum class Got { record, end, error };

    explicit CsvReader(std::FILE* in);
    // Reads `text` in blocks of `block` bytes, as it would a file (for tests).
    CsvReader(std::string_view text, std::size_t block);

    Got next(CsvRecord& record);
    // Why reading failed, after Got::error.
    const std::string& reason() const { return reason_; }
    // Lines read so far.
    std::size_t lines() const { return line_; }

private:
    enum class State { line_start, unquoted, quoted, quote_in_quoted, after_field, after_comma, comment, skip_line };

    enum class Line { record, blank, other };

    bool fill();
    Line simple_line(CsvRecord& record);
    std::size_t take_run();
    // Feeds one byte; true when it completed a record (or an error).
    bool step(char c);
    bool end_of_line(CsvRecord& record);
    void start_field();
    void end_field();
    void fail(const char* why);

    std::FILE* in_ = nullptr;
    std::string_view text_;  // the input when it is in memory
    std::size_t block_size_;
    std::unique_ptr<char[]> block_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool first_block_ = true;
    std::string reason_;

    State state_ = State::line_start;
    bool after_cr_ = false;  // the last byte was a CR: an LF now ends nothing
    bool after_line_end_ = false;  // the last byte ended a line
    bool any_byte_ = false;
    std::size_t line_ = 0;  // lines completed
    bool in_record_ = false;
    std::size_t record_bytes_ = 0;
    bool too_long_ = false;
    char last_ = '\0';  // the last byte of the current unquoted field
    bool comma_after_digit_ = false;  // the field before the comma ended in a digit
    std::string text_of_fields_;  // the record's field bytes, at most MAX_RECORD
    std::vector<std::pair<std::size_t, std::size_t>> spans_;  // where each field is in it
    CsvRecord* out_ = nullptr;
};

// Writes `field`, quoted when it holds a comma, a quote, a line break, a #,
// a blank or a tab: what the reader above would not read back as one field.
void write_csv_field(platform::OutputBuffer& out, std::string_view field);
// The same field as text.
std::string csv_field(std::string_view field);

}  // namespace ljungcv

#endif
