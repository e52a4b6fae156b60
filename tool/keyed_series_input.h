// Many series in one long file, as `ljungcv outliers --by COLUMN` reads
// them: CSV with a header naming the id column, a value column and an
// optional time column (as read_series takes them), each series a run of
// records with the same id. The file is read one series at a time, so that
// memory holds what the caller keeps, not the file; an id that comes back
// after another is an error, since the series it would continue is gone.
#ifndef LJUNGCV_KEYED_SERIES_INPUT_H
#define LJUNGCV_KEYED_SERIES_INPUT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "csv.h"
#include "series_input.h"

namespace ljungcv {

struct KeyedSeries {
    std::string id;  // as written
    Series series;
    std::size_t first_line = 0;  // of its first and last records
    std::size_t last_line = 0;
    // Why the series cannot be used ("line 12: ..."), its first such line;
    // empty when it can. Its other lines are still read and their values
    // not kept.
    std::string error;
};

class KeyedSeriesReader {
public:
    // Reads the header, which must name `id_column` once (as written).
    // Throws SeriesInputError.
    KeyedSeriesReader(CsvReader& reader, std::string_view id_column);

    // The next series, or nothing after the last. Throws SeriesInputError
    // for a record that cannot be read at all and for an id that comes back.
    std::optional<KeyedSeries> next();

private:
    struct Row {
        std::string id;
        std::size_t line = 0;
        double value = 0;
        std::string time;
        std::string error;  // the value could not be read
    };

    // The next record as a row, or nothing at the end.
    std::optional<Row> read_row();
    // Where an id's run began, by a 64-bit fingerprint of the id: a few
    // bytes a series, not the ids themselves.
    void check_new_id(const Row& row);

    CsvReader& reader_;
    CsvRecord record_;
    std::size_t id_ = 0;
    SeriesColumns columns_;
    std::optional<Row> pending_;  // the first row of the next series
    std::unordered_map<std::uint64_t, std::size_t> seen_;
};

}  // namespace ljungcv

#endif
