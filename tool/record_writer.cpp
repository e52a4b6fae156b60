#include "record_writer.h"

#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "core/numbers.h"
#include "csv.h"
#include "host/ljungcv_function.h"

namespace ljungcv {

namespace {

// A text as a JSON string; bytes that are not UTF-8 become U+FFFD.
std::string json_text(std::string_view text)
{
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool has_value(const Record& record)
{
    return record.result != nullptr && record.result->point.status == STATUS_OK;
}

bool turned(const Record& record)
{
    return record.result->range != core::Range::holds;
}

}  // namespace

RecordWriter::RecordWriter(platform::OutputBuffer& out, RecordFormat format) : out_(out), format_(format)
{
    if (format_ == RecordFormat::csv) {
        out_.text("n,alpha,method,value,status,turned_down\n");
    } else if (format_ == RecordFormat::json_document) {
        out_.text("{\n  \"function\": \"");
        out_.text(LJUNGCV_FUNCTION_NAME);
        out_.text("\",\n  \"rows\": [");
    }
}

void RecordWriter::write(const Record& record)
{
    format_ == RecordFormat::csv ? write_csv(record) : write_json(record);
}

void RecordWriter::finish()
{
    if (format_ == RecordFormat::json_document) {
        out_.text("\n  ]\n}\n");
    }
}

void RecordWriter::write_csv(const Record& record)
{
    write_csv_field(out_, record.n);
    out_.put(',');
    write_csv_field(out_, record.alpha);
    out_.put(',');
    write_csv_field(out_, record.method);
    out_.put(',');
    if (has_value(record)) {
        out_.shortest(record.result->point.value);
    }
    out_.put(',');
    if (record.result != nullptr) {
        out_.integer(record.result->point.status);
    } else {
        out_.text("error");
    }
    out_.put(',');
    if (has_value(record)) {
        out_.put(turned(record) ? '1' : '0');
    }
    out_.put('\n');
}

void RecordWriter::number_or_text(const std::optional<double>& value, std::string_view text)
{
    if (value && std::isfinite(*value)) {
        out_.text(core::format_count(*value));  // a whole number in digits, any other as format_shortest
    } else {
        out_.text(json_text(text));
    }
}

void RecordWriter::write_json(const Record& record)
{
    if (format_ == RecordFormat::json_document) {
        out_.text(first_ ? "\n    " : ",\n    ");
        first_ = false;
    }
    out_.text("{\"n\": ");
    number_or_text(record.n_value, record.n);
    out_.text(", \"alpha\": ");
    number_or_text(record.alpha_value, record.alpha);
    out_.text(", \"method\": ");
    out_.text(json_text(record.method));
    out_.text(", \"value\": ");
    if (has_value(record)) {
        out_.shortest(record.result->point.value);
    } else {
        out_.text("null");
    }
    out_.text(", \"status\": ");
    if (record.result != nullptr) {
        out_.integer(record.result->point.status);
    } else {
        out_.text("\"error\"");
    }
    out_.text(", \"turned_down\": ");
    out_.text(has_value(record) ? (turned(record) ? "true" : "false") : "null");
    if (!record.error.empty()) {
        out_.text(", \"error\": ");
        out_.text(json_text(record.error));
    }
    out_.text(format_ == RecordFormat::json_lines ? "}\n" : "}");
}

}  // namespace ljungcv
