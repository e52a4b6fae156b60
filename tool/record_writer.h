// Records of the function's outcomes as CSV (one header line, a row each),
// JSON Lines (an object each) or one JSON document (the objects in a list):
// the rows of `eval` and of `table --format csv|json`.
//
//   n,alpha,method,value,status,turned_down
//
// value and turned_down are empty (null) where there is no value; status
// is "error" where an input line could not be evaluated, with JSON's
// "error" member saying why.
#ifndef LJUNGCV_RECORD_WRITER_H
#define LJUNGCV_RECORD_WRITER_H

#include <optional>
#include <string_view>

#include "core/sensible_range.h"
#include "platform/output_buffer.h"

namespace ljungcv {

struct Record {
    std::string_view n;  // as shown: an input's text, or a formatted number
    std::string_view alpha;
    std::string_view method;
    std::optional<double> n_value;  // JSON writes finite numbers as numbers
    std::optional<double> alpha_value;
    const core::AssessedPoint* result = nullptr;  // null: not evaluated
    std::string_view error;
};

enum class RecordFormat { csv, json_lines, json_document };

class RecordWriter {
public:
    // Writes the CSV header or the document's opening.
    RecordWriter(platform::OutputBuffer& out, RecordFormat format);

    void write(const Record& record);
    // Closes the document; nothing for CSV and JSON Lines.
    void finish();

private:
    void write_csv(const Record& record);
    void write_json(const Record& record);
    void number_or_text(const std::optional<double>& value, std::string_view text);

    platform::OutputBuffer& out_;
    RecordFormat format_;
    bool first_ = true;
};

}  // namespace ljungcv

#endif
