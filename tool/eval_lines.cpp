#include "eval_lines.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "number_list.h"

namespace ljungcv {

namespace {

bool names(std::string_view field, std::string_view name)
{
    return std::equal(field.begin(), field.end(), name.begin(), name.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

constexpr std::string_view DECIMAL_COMMAS =
    "a comma between digits where fields are separated by blanks: the file seems to use decimal commas, which "
    "eval does not read (write 0.05, not 0,05)";

// A header's fields as the message shows them, shortened past a line's worth.
std::string fields_text(const std::vector<std::string_view>& fields)
{
    constexpr std::size_t SHOWN = 60;
    std::string text;
    for (const std::string_view field : fields) {
        text.append(text.empty() ? "" : ",").append(field);
    }
    return text.size() > SHOWN ? text.substr(0, SHOWN) + "..." : text;
}

// Whether a first record names columns, none of them known: every field
// that is not empty starts with a letter (R's NA, a missing number, does
// not), and one is not empty.
bool only_names(const std::vector<std::string_view>& fields)
{
    bool any = false;
    for (const std::string_view field : fields) {
        if (field.empty()) {
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(field.front())) || field == "NA") {
            return false;
        }
        any = true;
    }
    return any;
}

// A field with a semicolon where one is read as n, alpha or method: the
// file separates its fields with semicolons, as spreadsheets do where the
// decimal mark is a comma.
std::string semicolon_problem(std::string_view field)
{
    if (field.find(';') == std::string_view::npos) {
        return {};
    }
    return fmt::format("fields are separated by commas or blanks, not by semicolons: '{}' is one field", field);
}

}  // namespace

InputLines::Kind InputLines::take(const CsvRecord& record, LineFields& fields, std::string& why)
{
    if (header_line_ != 0) {
        first_skipped_ = first_skipped_ == 0 ? record.first_line : first_skipped_;
        last_skipped_ = record.last_line;
        why = fmt::format("not evaluated: the header on line {} is in error", header_line_);
        return Kind::skipped;
    }
    if (!columns_) {
        const Kind kind = first_record(record, why);
        if (kind != Kind::data) {
            return kind;
        }
    }
    return data(record, fields, why);
}

void InputLines::take_unreadable()
{
    if (!columns_) {
        columns_ = Columns{};
    }
}

std::string InputLines::skipped_lines() const
{
    if (first_skipped_ == 0) {
        return {};
    }
    const std::string lines = first_skipped_ == last_skipped_ ? fmt::format("line {}", first_skipped_)
                                                              : fmt::format("lines {}-{}", first_skipped_, last_skipped_);
    return fmt::format("{}: not evaluated, because the header on line {} is in error", lines, header_line_);
}

InputLines::Kind InputLines::first_record(const CsvRecord& record, std::string& why)
{
    columns_ = Columns{};
    constexpr std::array<std::string_view, 3> NAMES = {"n", "alpha", "method"};
    std::array<std::size_t, 3> where = {Columns::NONE, Columns::NONE, Columns::NONE};
    std::optional<std::string_view> number;
    std::optional<std::string> twice;
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        const std::string_view field = record.fields[i];
        if (!number && written_as_number(field)) {
            number = field;
        }
        for (std::size_t k = 0; k < NAMES.size(); ++k) {
            if (names(field, NAMES[k])) {
                if (where[k] != Columns::NONE && !twice) {
                    twice = fmt::format("the header names column {} twice (fields {} and {}); which one is meant?",
                                        NAMES[k], where[k] + 1, i + 1);
                }
                where[k] = where[k] == Columns::NONE ? i : where[k];
            }
        }
    }
    const bool names_n = where[0] != Columns::NONE;
    if (names_n && number) {
        why = fmt::format("neither a header nor data: it has a field n and the number '{}'; a header has names "
                          "only, a data line n, alpha and method in that order",
                          *number);
        return Kind::error;
    }
    if (!names_n) {
        if (!number && (where[1] != Columns::NONE || where[2] != Columns::NONE)) {
            why = "a header needs a column n";
            return Kind::error;
        }
        if (!number && only_names(record.fields) &&
            std::none_of(record.fields.begin(), record.fields.end(),
                         [](std::string_view field) { return !semicolon_problem(field).empty(); })) {
            header_line_ = record.first_line;
            why = fmt::format("unknown header '{}': eval reads the columns n, alpha and method (any case, any "
                              "order, other columns left alone) and needs n{}",
                              fields_text(record.fields), alpha_given_ ? "" : " and alpha (or --alpha)");
            return Kind::error;
        }
        return Kind::data;  // by position
    }
    header_line_ = record.first_line;  // until the header proves sound
    if (twice) {
        why = *twice;
        return Kind::error;
    }
    if (where[1] == Columns::NONE && !alpha_given_) {
        why = "the header names no alpha column: add one, or give the level of every line with --alpha";
        return Kind::error;
    }
    header_line_ = 0;
    columns_ = Columns{true, record.fields.size(), where[0], where[1], where[2], record.blank_separated};
    return Kind::header;
}

InputLines::Kind InputLines::data(const CsvRecord& record, LineFields& fields, std::string& why) const
{
    const Columns& columns = *columns_;
    const std::size_t count = record.fields.size();
    if (record.comma_in_number && (record.blank_separated || columns.blank_separated)) {
        why = DECIMAL_COMMAS;
        return Kind::error;
    }
    // A count of fields that is wrong says more when a semicolon explains it.
    const auto semicolons = [&record, &why]() {
        for (const std::string_view field : record.fields) {
            why = semicolon_problem(field);
            if (!why.empty()) {
                return true;
            }
        }
        return false;
    };
    if (columns.from_header) {
        if (count != columns.count) {
            if (!semicolons()) {
                why = fmt::format("found {} field{} where the header has {}", count, count == 1 ? "" : "s",
                                  columns.count);
            }
            return Kind::error;
        }
        fields.n = record.fields[columns.n];
        fields.alpha_given = columns.alpha != Columns::NONE;
        fields.alpha = fields.alpha_given ? record.fields[columns.alpha] : std::string_view();
        fields.method = columns.method != Columns::NONE ? record.fields[columns.method] : std::string_view();
    } else {
        if (count < (alpha_given_ ? 1U : 2U) || count > 3) {
            if (!semicolons()) {
                why = fmt::format("expected 'n alpha [method]'{}, found {} field{}", alpha_given_ ? " or 'n'" : "",
                                  count, count == 1 ? "" : "s");
            }
            return Kind::error;
        }
        fields.n = record.fields[0];
        fields.alpha_given = count > 1;
        fields.alpha = count > 1 ? record.fields[1] : std::string_view();
        fields.method = count > 2 ? record.fields[2] : std::string_view();
    }
    for (const std::string_view field : {fields.n, fields.alpha, fields.method}) {
        why = semicolon_problem(field);
        if (!why.empty()) {
            return Kind::error;
        }
    }
    return Kind::data;
}

}  // namespace ljungcv
