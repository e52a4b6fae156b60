#include "keyed_series_input.h"

#include <functional>
#include <utility>

#include <fmt/format.h>

#include "platform/escaped_text.h"

namespace ljungcv {

namespace {

[[noreturn]] void fail(std::size_t line, const std::string& why)
{
    throw SeriesInputError(fmt::format("line {}: {}", line, why));
}

std::string quoted(std::string_view text)
{
    return fmt::format("'{}'", platform::escape_controls(text));
}

}  // namespace

KeyedSeriesReader::KeyedSeriesReader(CsvReader& reader, std::string_view id_column) : reader_(reader)
{
    const CsvReader::Got got = reader_.next(record_);
    if (got == CsvReader::Got::error) {
        throw SeriesInputError(reader_.reason());
    }
    if (got == CsvReader::Got::end) {
        throw SeriesInputError(fmt::format("no header: --by {} names a column of a header line", quoted(id_column)));
    }
    if (!record_.error.empty()) {
        fail(record_.first_line, record_.error);
    }
    std::optional<std::size_t> id;
    for (std::size_t i = 0; i < record_.fields.size(); ++i) {
        if (record_.fields[i] == id_column) {
            if (id) {
                fail(record_.first_line,
                     fmt::format("the header names the id column {} twice; which one is meant?", quoted(id_column)));
            }
            id = i;
        }
    }
    if (!id) {
        fail(record_.first_line,
             fmt::format("the header {} has no column {} (--by names the id column as the header writes it)",
                         quoted(fmt::format("{}", fmt::join(record_.fields, ","))), quoted(id_column)));
    }
    id_ = *id;
    columns_ = series_columns(record_, id_);
}

std::optional<KeyedSeriesReader::Row> KeyedSeriesReader::read_row()
{
    const CsvReader::Got got = reader_.next(record_);
    if (got == CsvReader::Got::end) {
        return std::nullopt;
    }
    if (got == CsvReader::Got::error) {
        throw SeriesInputError(reader_.reason());
    }
    if (!record_.error.empty()) {
        fail(record_.first_line, record_.error);
    }
    if (record_.fields.size() != columns_.count) {
        fail(record_.first_line,
             fmt::format("found {} fields where the header has {}", record_.fields.size(), columns_.count));
    }
    Row row;
    row.id = record_.fields[id_];
    row.line = record_.first_line;
    try {
        row.value = series_value(record_.fields[columns_.value], record_.first_line);
    } catch (const SeriesInputError& e) {
        row.error = e.what();
    }
    if (columns_.time) {
        row.time = record_.fields[*columns_.time];
    }
    return row;
}

void KeyedSeriesReader::check_new_id(const Row& row)
{
    const auto [where, added] = seen_.emplace(std::hash<std::string>{}(row.id), row.line);
    if (!added) {
        fail(row.line, fmt::format("the id {} comes back after other ids (its rows began on line {}): --by reads "
                                   "each series as one run of rows, so keep each id's rows together",
                                   quoted(row.id), where->second));
    }
}

std::optional<KeyedSeries> KeyedSeriesReader::next()
{
    std::optional<Row> row = pending_ ? std::move(pending_) : read_row();
    pending_.reset();
    if (!row) {
        return std::nullopt;
    }
    check_new_id(*row);
    KeyedSeries keyed;
    keyed.id = row->id;
    keyed.first_line = row->line;
    while (row && row->id == keyed.id) {
        keyed.last_line = row->line;
        if (keyed.error.empty() && !row->error.empty()) {
            keyed.error = std::move(row->error);
        }
        if (keyed.error.empty() && keyed.series.values.size() == MAX_SERIES_VALUES) {
            keyed.error = fmt::format("line {}: the series is longer than {} values", row->line, MAX_SERIES_VALUES);
        }
        if (keyed.error.empty()) {
            keyed.series.values.push_back(row->value);
            if (columns_.time) {
                keyed.series.times.push_back(std::move(row->time));
            }
        }
        row = read_row();
    }
    if (!keyed.error.empty()) {
        keyed.series = {};  // nothing of it is used; its memory goes now
    }
    pending_ = std::move(row);
    return keyed;
}

}  // namespace ljungcv
