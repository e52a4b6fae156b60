// Fuzzing the way `ljungcv eval` reads its input: CSV records (every line
// end, quoted line breaks, any number of fields) and the header rules that
// say what each record is, on arbitrary bytes.
//
// Input layout:
//   0      options: bits 0-5 the block size less one (1 to 64 bytes a read),
//          bit 6 whether --alpha is given
//   1-     the input text, any bytes
//
// Checked on every input:
//   - the records are the same whether the text is read in small blocks or
//     in one, so no record depends on where a read ends;
//   - the lines counted are the text's lines (LF, CR LF and CR alone each
//     end one), and the records' lines ascend without overlap: no line is
//     read twice;
//   - a record is an error or has fields, never both, and its fields hold
//     at most MAX_RECORD bytes;
//   - every record's fields, written as CSV, read back as the same fields;
//   - each record is one of header, data, error row or skipped line: a
//     header only first, and only with a field n and no number; a data
//     line's n, alpha and method are fields of its record; under a header,
//     a data line has the header's number of fields; after a header in
//     error (a column named twice, no alpha, or names none of which is a
//     column) every record is skipped, and the skipped lines are named.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"
#include "eval_lines.h"
#include "invariant.h"
#include "number_list.h"
#include "platform/output_buffer.h"

namespace {

using ljungcv::CsvReader;
using ljungcv::CsvRecord;
using ljungcv::InputLines;

struct Read {
    std::size_t first_line;
    std::size_t last_line;
    std::vector<std::string> fields;
    std::string error;
    bool blank_separated;
    bool comma_in_number;
    bool operator==(const Read&) const = default;
};

std::vector<Read> read_all(std::string_view text, std::size_t block, std::size_t& lines)
{
    CsvReader reader(text, block);
    std::vector<Read> records;
    CsvRecord record;
    while (reader.next(record) == CsvReader::Got::record) {
        records.push_back({record.first_line, record.last_line, {record.fields.begin(), record.fields.end()},
                           record.error, record.blank_separated, record.comma_in_number});
    }
    lines = reader.lines();
    return records;
}

// The lines of `text` as an editor counts them, without looking at quotes.
std::size_t lines_of(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            ++lines;
        }
    }
    return lines + (!text.empty() && text.back() != '\n' && text.back() != '\r' ? 1 : 0);
}

std::string written;

void keep(std::string_view bytes)
{
    written += bytes;
}

bool is_name(std::string_view field, std::string_view name)
{
    if (field.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i] >= 'A' && field[i] <= 'Z' ? static_cast<char>(field[i] - 'A' + 'a') : field[i];
        if (c != name[i]) {
            return false;
        }
    }
    return true;
}

bool is_field_of(std::string_view text, const std::vector<std::string_view>& fields)
{
    for (const std::string_view field : fields) {
        if (text.data() == field.data() && text.size() == field.size()) {
            return true;
        }
    }
    return text.empty();
}

void check_header_rules(std::string_view text, bool alpha_given)
{
    CsvReader reader(text, CsvReader::BLOCK);
    InputLines lines(alpha_given);
    CsvRecord record;
    std::size_t index = 0;
    std::size_t header_count = 0;
    bool header_failed = false;
    std::size_t first_skipped = 0;
    std::size_t last_skipped = 0;
    while (reader.next(record) == CsvReader::Got::record) {
        const bool first = index++ == 0;
        if (!record.error.empty()) {
            lines.take_unreadable();
            continue;
        }
        ljungcv::LineFields fields;
        std::string why;
        const InputLines::Kind kind = lines.take(record, fields, why);
        check(kind == InputLines::Kind::header || kind == InputLines::Kind::data || !why.empty(),
              "an error row says why");
        switch (kind) {
        case InputLines::Kind::header: {
            check(first, "only a first record is a header");
            bool names_n = false;
            for (const std::string_view field : record.fields) {
                check(!ljungcv::written_as_number(field), "a header has no number");
                names_n = names_n || is_name(field, "n");
            }
            check(names_n, "a header names n");
            header_count = record.fields.size();
            break;
        }
        case InputLines::Kind::data:
            check(!header_failed, "nothing under a header in error is evaluated");
            check(is_field_of(fields.n, record.fields) && is_field_of(fields.alpha, record.fields) &&
                      is_field_of(fields.method, record.fields),
                  "a data line's n, alpha and method are its fields");
            check(header_count == 0 || record.fields.size() == header_count,
                  "under a header a data line has the header's fields");
            check(header_count != 0 || (record.fields.size() >= 1 && record.fields.size() <= 3),
                  "without a header a data line has 1 to 3 fields");
            check(fields.alpha_given || alpha_given, "a line without alpha needs --alpha");
            break;
        case InputLines::Kind::error:
            check(!header_failed, "after a header in error, lines are skipped");
            if (first) {
                // A header in error: names only, n among them, and a column
                // named twice or no alpha without --alpha.
                std::size_t named[3] = {0, 0, 0};
                bool numbers = false;
                for (const std::string_view field : record.fields) {
                    numbers = numbers || ljungcv::written_as_number(field);
                    named[0] += is_name(field, "n") ? 1 : 0;
                    named[1] += is_name(field, "alpha") ? 1 : 0;
                    named[2] += is_name(field, "method") ? 1 : 0;
                }
                // Or names that are none of the columns: every field that is
                // not empty starts with a letter (NA excepted), and no
                // semicolon says the fields were joined.
                bool letters = false;
                bool others = true;
                for (const std::string_view field : record.fields) {
                    if (field.empty()) {
                        continue;
                    }
                    const char c = field.front();
                    others = others && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && field != "NA" &&
                             field.find(';') == std::string_view::npos;
                    letters = true;
                }
                const bool unknown = !numbers && named[0] == 0 && named[1] == 0 && named[2] == 0 && letters && others;
                header_failed = unknown || (!numbers && named[0] > 0 &&
                                            (named[0] > 1 || named[1] > 1 || named[2] > 1 ||
                                             (named[1] == 0 && !alpha_given)));
            }
            break;
        case InputLines::Kind::skipped:
            check(header_failed, "only lines under a header in error are skipped");
            first_skipped = first_skipped == 0 ? record.first_line : first_skipped;
            last_skipped = record.last_line;
            break;
        }
    }
    const std::string skipped = lines.skipped_lines();
    check(skipped.empty() == (first_skipped == 0), "skipped lines are named when there are some");
    if (first_skipped != 0) {
        const std::string named = first_skipped == last_skipped
                                      ? "line " + std::to_string(first_skipped) + ":"
                                      : "lines " + std::to_string(first_skipped) + "-" + std::to_string(last_skipped) + ":";
        check(skipped.starts_with(named), "the skipped lines are named first to last");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t block = (data[0] & 0x3F) + 1;
    const bool alpha_given = (data[0] & 0x40) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::size_t lines_small = 0;
    std::size_t lines_whole = 0;
    const std::vector<Read> small = read_all(text, block, lines_small);
    const std::vector<Read> whole = read_all(text, CsvReader::BLOCK, lines_whole);
    check(small == whole, "records do not depend on the block size");
    check(lines_small == lines_whole && lines_whole == lines_of(text), "every line is counted once");

    std::size_t previous = 0;
    for (const Read& record : whole) {
        check(record.first_line > previous && record.last_line >= record.first_line, "records' lines ascend");
        check(record.last_line <= lines_whole, "a record's lines are the text's");
        previous = record.last_line;
        check(record.error.empty() || record.fields.empty(), "an error record has no fields");
        check(!record.error.empty() || !record.fields.empty(), "a record has fields or an error");
        std::size_t bytes = 0;
        for (const std::string& field : record.fields) {
            bytes += field.size();
        }
        check(bytes <= CsvReader::MAX_RECORD, "a record's fields are bounded");

        if (!record.error.empty() || (record.fields.size() == 1 && record.fields[0].empty())) {
            continue;  // a lone empty field is written as a blank line
        }
        written.clear();
        {
            platform::OutputBuffer out(&keep);
            for (std::size_t i = 0; i < record.fields.size(); ++i) {
                ljungcv::write_csv_field(out, record.fields[i]);
                out.put(i + 1 < record.fields.size() ? ',' : '\n');
            }
            out.finish();
        }
        if (written.size() > CsvReader::MAX_RECORD || written.starts_with("\xEF\xBB\xBF")) {
            continue;  // too long once quoted, or a field a reader takes for a byte-order mark
        }
        std::size_t lines_back = 0;
        const std::vector<Read> back = read_all(written, block, lines_back);
        check(back.size() == 1 && back[0].error.empty() && back[0].fields == record.fields,
              "written fields read back as the same fields");
    }

    check_header_rules(text, alpha_given);
    return 0;
}
