#include "series_input.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "number_list.h"
#include "platform/escaped_text.h"

namespace ljungcv {

namespace {

bool named(std::string_view field, std::string_view name)
{
    return std::equal(field.begin(), field.end(), name.begin(), name.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool missing(std::string_view field)
{
    return field.empty() || field == "NA";
}

[[noreturn]] void fail(std::size_t line, const std::string& why)
{
    throw SeriesInputError(fmt::format("line {}: {}", line, why));
}

}  // namespace

SeriesColumns series_columns(const CsvRecord& record, std::optional<std::size_t> aside)
{
    SeriesColumns columns;
    columns.count = record.fields.size();
    std::optional<std::size_t> value;
    std::vector<std::size_t> others;
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        const std::string_view field = record.fields[i];
        if (i == aside) {
            continue;
        }
        if (named(field, "time") || named(field, "date")) {
            if (columns.time) {
                fail(record.first_line, "the header names two time columns; which one is meant?");
            }
            columns.time = i;
        } else if (named(field, "value") || named(field, "y")) {
            if (value) {
                fail(record.first_line, "the header names two value columns; which one is meant?");
            }
            value = i;
        } else {
            others.push_back(i);
        }
    }
    if (!value && others.size() == 1) {
        value = others.front();
    }
    if (!value) {
        fail(record.first_line,
             fmt::format("the header '{}' names no value column: name it value (or y), beside an optional time "
                         "column",
                         platform::escape_controls(fmt::format("{}", fmt::join(record.fields, ",")))));
    }
    columns.value = *value;
    return columns;
}

double series_value(std::string_view text, std::size_t line)
{
    if (missing(text)) {
        return NAN;
    }
    std::string why;
    const std::optional<double> number = read_number(text, why);
    if (!number) {
        fail(line, why);
    }
    if (!std::isfinite(*number)) {
        fail(line, fmt::format("the value '{}' is not finite (leave the field empty for a missing value)",
                               platform::escape_controls(text)));
    }
    return *number;
}

Series read_series(CsvReader& reader)
{
    Series series;
    std::optional<SeriesColumns> columns;
    CsvRecord record;
    while (true) {
        const CsvReader::Got got = reader.next(record);
        if (got == CsvReader::Got::end) {
            break;
        }
        if (got == CsvReader::Got::error) {
            throw SeriesInputError(reader.reason());
        }
        if (!record.error.empty()) {
            fail(record.first_line, record.error);
        }
        if (!columns) {
            const bool header = std::none_of(record.fields.begin(), record.fields.end(), [](std::string_view f) {
                return written_as_number(f) || missing(f);
            });
            if (header) {
                columns = series_columns(record);
                continue;
            }
            columns = SeriesColumns{};
        }
        if (record.fields.size() != columns->count) {
            fail(record.first_line,
                 columns->count == 1
                     ? fmt::format("found {} fields; without a header each line holds one value (a header names "
                                   "the value and time columns)",
                                   record.fields.size())
                     : fmt::format("found {} fields where the header has {}", record.fields.size(), columns->count));
        }
        if (series.values.size() == MAX_SERIES_VALUES) {
            fail(record.first_line, fmt::format("the series is longer than {} values", MAX_SERIES_VALUES));
        }
        series.values.push_back(series_value(record.fields[columns->value], record.first_line));
        if (columns->time) {
            series.times.emplace_back(record.fields[*columns->time]);
        }
    }
    return series;
}

}  // namespace ljungcv
