#include "csv.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ljungcv {

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

bool is_line_end(char c)
{
    return c == '\n' || c == '\r';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

CsvReader::CsvReader(std::FILE* in) : in_(in), block_size_(BLOCK), block_(new char[BLOCK]) {}

CsvReader::CsvReader(std::string_view text, std::size_t block)
    : text_(text), block_size_(std::max<std::size_t>(block, 1)), block_(new char[block_size_])
{
    if (text_.starts_with(BYTE_ORDER_MARK)) {
        text_.remove_prefix(BYTE_ORDER_MARK.size());
    }
}

bool CsvReader::fill()
{
    begin_ = 0;
    end_ = 0;
    if (at_end_) {
        return false;
    }
    if (in_ == nullptr) {
        // In memory the blocks are views of the text, so a test sees every
        // way a record can be cut between two reads.
        const std::size_t size = std::min(block_size_, text_.size());
        if (size == 0) {
            at_end_ = true;
            return false;
        }
        std::memcpy(block_.get(), text_.data(), size);
        text_.remove_prefix(size);
        end_ = size;
    } else {
        errno = 0;
        end_ = std::fread(block_.get(), 1, block_size_, in_);
        if (end_ < block_size_) {
            at_end_ = true;
            if (std::ferror(in_)) {
                reason_ = errno != 0 ? std::strerror(errno) : "read failed";
                return false;
            }
        }
    }
    if (first_block_ && in_ != nullptr && end_ > 0) {
        first_block_ = false;
        if (std::string_view(block_.get(), end_).starts_with(BYTE_ORDER_MARK)) {
            begin_ = BYTE_ORDER_MARK.size();
        }
    }
    return end_ > begin_ || (!at_end_ && fill());
}

void CsvReader::start_field()
{
    if (!too_long_) {
        spans_.emplace_back(text_of_fields_.size(), text_of_fields_.size());
    }
}

void CsvReader::end_field()
{
    if (!too_long_) {
        spans_.back().second = text_of_fields_.size();
    }
}

void CsvReader::fail(const char* why)
{
    if (out_->error.empty()) {
        out_->error = why;
    }
    state_ = State::skip_line;
}

bool CsvReader::end_of_line(CsvRecord& record)
{
    ++line_;
    state_ = State::line_start;
    in_record_ = false;
    record.last_line = line_;
    if (too_long_) {
        record.error = "longer than " + std::to_string(MAX_RECORD) + " bytes" +
                       (record.error.empty() ? "" : " (" + record.error + ")");
    }
    if (record.error.empty()) {
        record.fields.reserve(spans_.size());
        for (const auto& [begin, end] : spans_) {
            record.fields.push_back(std::string_view(text_of_fields_).substr(begin, end - begin));
        }
    }
    return true;
}

bool CsvReader::step(char c)
{
    CsvRecord& record = *out_;
    const bool second_half_of_crlf = after_cr_ && c == '\n';
    after_cr_ = c == '\r';
    after_line_end_ = is_line_end(c);
    any_byte_ = true;
    // A record's bytes count, except the line end that closes it.
    if (in_record_ && (state_ == State::quoted || !is_line_end(c)) && ++record_bytes_ > MAX_RECORD && !too_long_) {
        too_long_ = true;  // the record goes on being read, but not kept
        text_of_fields_.clear();
        spans_.clear();
    }
    const auto keep = [this](char byte) {
        if (!too_long_) {
            text_of_fields_ += byte;
        }
    };
    // A field's first byte, in a record that has begun.
    const auto begin_field = [&](char byte) {
        start_field();
        if (byte == '"') {
            state_ = State::quoted;
        } else {
            keep(byte);
            last_ = byte;
            state_ = State::unquoted;
        }
    };

    if (state_ == State::quoted) {
        if (c == '"') {
            state_ = State::quote_in_quoted;
        } else {
            keep(c);  // a line break too: the field goes on on the next line
            if (is_line_end(c) && !second_half_of_crlf) {
                ++line_;
            }
        }
        return false;
    }
    if (second_half_of_crlf) {
        return false;
    }

    switch (state_) {
    case State::line_start:
        if (is_blank(c)) {
            return false;
        }
        if (is_line_end(c)) {
            ++line_;  // a blank line
            return false;
        }
        if (c == '#') {
            state_ = State::comment;
            return false;
        }
        in_record_ = true;
        record.first_line = line_ + 1;
        record_bytes_ = 1;
        too_long_ = false;
        text_of_fields_.clear();
        spans_.clear();
        if (c == ',') {
            start_field();  // an empty first field
            end_field();
            comma_after_digit_ = false;
            state_ = State::after_comma;
        } else {
            begin_field(c);
        }
        return false;
    case State::unquoted:
        if (is_line_end(c)) {
            end_field();
            return end_of_line(record);
        }
        if (is_blank(c) || c == ',' || c == '#') {
            end_field();
            comma_after_digit_ = c == ',' && is_digit(last_);
            state_ = c == ',' ? State::after_comma : c == '#' ? State::comment : State::after_field;
            return false;
        }
        keep(c);
        last_ = c;
        return false;
    case State::quote_in_quoted:
        if (c == '"') {
            keep('"');  // a doubled quote stands for one
            state_ = State::quoted;
            return false;
        }
        end_field();
        if (is_line_end(c)) {
            return end_of_line(record);
        }
        if (is_blank(c) || c == ',' || c == '#') {
            comma_after_digit_ = false;
            state_ = c == ',' ? State::after_comma : c == '#' ? State::comment : State::after_field;
            return false;
        }
        fail("text after the closing quote of a field");
        return false;
    case State::after_field:
        if (is_line_end(c)) {
            return end_of_line(record);
        }
        if (c == ',') {
            comma_after_digit_ = false;
            state_ = State::after_comma;
        } else if (c == '#') {
            state_ = State::comment;
        } else if (!is_blank(c)) {
            record.blank_separated = true;
            begin_field(c);
        }
        return false;
    case State::after_comma:
        if (comma_after_digit_ && is_digit(c)) {
            record.comma_in_number = true;
        }
        comma_after_digit_ = false;
        if (is_blank(c)) {
            return false;
        }
        if (is_line_end(c) || c == '#' || c == ',') {
            start_field();  // an empty field after a comma
            end_field();
            if (is_line_end(c)) {
                return end_of_line(record);
            }
            state_ = c == '#' ? State::comment : State::after_comma;
            return false;
        }
        begin_field(c);
        return false;
    case State::comment:
    case State::skip_line:
        if (!is_line_end(c)) {
            return false;
        }
        if (in_record_) {
            return end_of_line(record);
        }
        ++line_;  // a line with a comment alone
        state_ = State::line_start;
        return false;
    case State::quoted:
        break;  // handled above
    }
    return false;
}

CsvReader::Line CsvReader::simple_line(CsvRecord& record)
{
    // Most lines hold no quote and end in LF within the block: such a line
    // is split where it lies, by the same rules as step(), which reads the
    // others.
    const char* data = block_.get() + begin_;
    const char* newline = static_cast<const char*>(std::memchr(data, '\n', end_ - begin_));
    if (newline == nullptr) {
        return Line::other;
    }
    const std::string_view line(data, static_cast<std::size_t>(newline - data));
    if (std::any_of(line.begin(), line.end(), [](char c) { return c == '"' || c == '\r'; })) {
        return Line::other;
    }
    begin_ += line.size() + 1;
    any_byte_ = true;
    after_line_end_ = true;
    ++line_;
    std::size_t i = 0;
    const auto skip_blanks = [&] {
        while (i < line.size() && is_blank(line[i])) {
            ++i;
        }
    };
    const auto at_end = [&] { return i == line.size() || line[i] == '#'; };
    skip_blanks();
    if (at_end()) {
        return Line::blank;
    }
    record.first_line = record.last_line = line_;
    while (true) {
        std::size_t field_end = i;
        if (line[i] == ',') {
            record.fields.emplace_back();  // an empty field before a comma
        } else {
            const std::size_t start = i;
            while (!at_end() && !is_blank(line[i]) && line[i] != ',') {
                ++i;
            }
            record.fields.push_back(line.substr(start, i - start));
            field_end = i;
        }
        skip_blanks();
        if (at_end()) {
            return Line::record;
        }
        if (line[i] != ',') {
            record.blank_separated = true;
            continue;
        }
        if (i == field_end && i > 0 && is_digit(line[i - 1]) && i + 1 < line.size() && is_digit(line[i + 1]) &&
            !record.fields.back().empty()) {
            record.comma_in_number = true;
        }
        ++i;
        skip_blanks();
        if (at_end()) {
            record.fields.emplace_back();  // the empty field after a last comma
            return Line::record;
        }
    }
}

std::size_t CsvReader::take_run()
{
    // Within a field most bytes only join it: they are taken a run at a
    // time, as step() would take them one by one.
    const bool quoted = state_ == State::quoted;
    const char* first = block_.get() + begin_;
    const std::size_t room = MAX_RECORD - std::min(record_bytes_, MAX_RECORD);
    const std::size_t size = std::min(end_ - begin_, room);
    std::size_t run = 0;
    while (run < size) {
        const char c = first[run];
        if (quoted ? (c == '"' || is_line_end(c)) : (is_blank(c) || c == ',' || c == '#' || is_line_end(c))) {
            break;
        }
        ++run;
    }
    if (run > 0) {
        text_of_fields_.append(first, run);
        record_bytes_ += run;
        last_ = first[run - 1];
        after_cr_ = false;
        after_line_end_ = false;
    }
    return run;
}

CsvReader::Got CsvReader::next(CsvRecord& record)
{
    record.fields.clear();
    record.error.clear();
    record.blank_separated = false;
    record.comma_in_number = false;
    record.first_line = record.last_line = 0;
    out_ = &record;
    while (true) {
        if (begin_ == end_ && !fill()) {
            if (!reason_.empty()) {
                return Got::error;
            }
            if (!in_record_) {
                if (any_byte_ && !after_line_end_) {
                    ++line_;  // a last line of blanks or a comment, without an end of line
                    after_line_end_ = true;
                }
                return Got::end;
            }
            // The last record, without an end of line.
            if (state_ == State::quoted) {
                fail("a quoted field is not closed");
                if (after_line_end_) {
                    --line_;  // the field's last line break has counted its line already
                }
            }
            after_cr_ = false;
            step('\n');
            return Got::record;
        }
        if (state_ == State::line_start && !after_cr_) {
            const Line line = simple_line(record);
            if (line == Line::record) {
                return Got::record;
            }
            if (line == Line::blank) {
                continue;
            }
        }
        if ((state_ == State::unquoted || state_ == State::quoted) && !too_long_) {
            begin_ += take_run();
            if (begin_ == end_) {
                continue;
            }
        }
        const char c = block_[begin_++];
        if (step(c)) {
            return Got::record;
        }
    }
}

namespace {

// Quoted too: what this reader takes for a comment or for blanks that
// separate fields, so that every field reads back as written.
bool plain_field(std::string_view field)
{
    return std::none_of(field.begin(), field.end(), [](char c) {
        return c == ',' || c == '"' || c == '#' || is_blank(c) || is_line_end(c);
    });
}

}  // namespace

void write_csv_field(platform::OutputBuffer& out, std::string_view field)
{
    if (plain_field(field)) {
        out.text(field);
        return;
    }
    out.put('"');
    for (const char c : field) {
        if (c == '"') {
            out.put('"');
        }
        out.put(c);
    }
    out.put('"');
}

std::string csv_field(std::string_view field)
{
    if (plain_field(field)) {
        return std::string(field);
    }
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace ljungcv
