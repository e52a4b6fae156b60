// ljungcv outliers --by COLUMN: the outlier procedure on every series of a
// long file. The series are read a chunk at a time (at most
// OUTLIERS_BY_CHUNK_SERIES series and CHUNK_VALUES values), run through the core's batch on the
// threads --workers asks for, and written in the file's order before the
// next chunk is read, so memory holds one chunk whatever the file's size.
// A series that fails fails alone: its status and message go to the output
// and to standard error, and the exit code says that some series failed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "core/outlier_batch.h"
#include "csv.h"
#include "exit_codes.h"
#include "keyed_series_input.h"
#include "outliers_output.h"
#include "platform/checked_output.h"
#include "platform/escaped_text.h"
#include "platform/output_buffer.h"

namespace ljungcv {

namespace {

constexpr std::size_t CHUNK_VALUES = std::size_t{1} << 20;

// What the output says of one series.
struct Outcome {
    const OutlierResult* result = nullptr;  // when it has one
    // The host's status (0, 120833, 120836), as eval's column; none for a
    // series that could not be read or a run-time failure ("error").
    std::optional<Status> status;
    std::string message;  // why not, escaped; empty with a result

    std::string status_text() const
    {
        return status ? std::to_string(static_cast<std::int32_t>(*status)) : std::string("error");
    }
};

// A failure's status, as the one-series command's exit code would tell it:
// input the model or the procedure refuses, no value of LJUNGCV, else an
// error; a series no model could be identified for is refused too.
Outcome failed(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const NoCriticalValue& e) {
        return {nullptr, Status::no_result, platform::escape_controls(e.what())};
    } catch (const std::invalid_argument& e) {
        return {nullptr, Status::invalid_argument, platform::escape_controls(e.what())};
    } catch (const IdentificationFailed& e) {  // no model fits it: refused as the model refuses
        return {nullptr, Status::invalid_argument, platform::escape_controls(e.what())};
    } catch (const std::exception& e) {
        return {nullptr, std::nullopt, platform::escape_controls(e.what())};
    }
}

class Writer {
public:
    explicit Writer(const OutliersRequest& request) : request_(request), out_(&platform::write_output)
    {
        if (request_.format == OutputFormat::csv) {
            out_.text(fmt::format("id,{},status,message\n", OUTLIERS_CSV_COLUMNS));
        } else if (request_.format == OutputFormat::json) {
            out_.text("[");
        }
    }

    void series(const KeyedSeries& keyed, const Outcome& outcome)
    {
        switch (request_.format) {
        case OutputFormat::csv:
            csv(keyed, outcome);
            break;
        case OutputFormat::json:
            json(keyed, outcome);
            break;
        default:
            text(keyed, outcome);
            break;
        }
        out_.row_done();
        first_ = false;
    }

    // The end of a complete output; after a read error the output stays
    // as far as it got (a JSON array without its end, which no reader
    // takes for the whole file).
    void finish(bool complete)
    {
        if (complete && request_.format == OutputFormat::json) {
            out_.text(first_ ? "]\n" : "\n]\n");
        }
        out_.finish();
    }

private:
    void csv(const KeyedSeries& keyed, const Outcome& outcome)
    {
        const std::string id = csv_field(keyed.id) + ",";
        if (outcome.result != nullptr) {
            write_outliers_csv_rows(out_, keyed.series, *outcome.result, id, "," + outcome.status_text() + ",");
        } else {
            out_.text(fmt::format("{},,,,,,,{},", id, outcome.status_text()));
            write_csv_field(out_, outcome.message);
            out_.put('\n');
        }
    }

    void json(const KeyedSeries& keyed, const Outcome& outcome)
    {
        nlohmann::ordered_json element = {
            {"id", keyed.id},
            {"status", outcome.status ? nlohmann::ordered_json(static_cast<std::int32_t>(*outcome.status))
                                      : nlohmann::ordered_json("error")},
            {"message", outcome.message},
        };
        if (outcome.result != nullptr) {
            element.update(outliers_document(keyed.series, request_, *outcome.result));
        }
        out_.text(first_ ? "\n  {" : ",\n  {");
        write_json_members(out_, element, "    ");
        out_.text("\n  }");
    }

    void text(const KeyedSeries& keyed, const Outcome& outcome)
    {
        out_.text(fmt::format("{}== {} ==\n", first_ ? "" : "\n", platform::escape_controls(keyed.id)));
        if (outcome.result != nullptr) {
            write_outliers_text(out_, keyed.series, request_, *outcome.result);
        } else {
            out_.text(fmt::format("no result (status {}): {}\n", outcome.status_text(), outcome.message));
        }
    }

    const OutliersRequest& request_;
    platform::OutputBuffer out_;
    bool first_ = true;
};

// Up to a chunk's series; a read error after some is kept for after them.
struct Chunk {
    std::vector<KeyedSeries> series;
    std::optional<std::string> read_error;
    bool at_end = false;
};

Chunk read_chunk(KeyedSeriesReader& reader)
{
    Chunk chunk;
    try {
        std::size_t values = 0;
        while (chunk.series.size() < OUTLIERS_BY_CHUNK_SERIES && values < CHUNK_VALUES) {
            std::optional<KeyedSeries> next = reader.next();
            if (!next) {
                chunk.at_end = true;
                break;
            }
            values += next->series.values.size();
            chunk.series.push_back(std::move(*next));
        }
    } catch (const SeriesInputError& e) {
        chunk.read_error = e.what();
    }
    return chunk;
}

}  // namespace

int run_outliers_by(const LoadedModule& module, std::FILE* in, const std::string& name, const OutliersRequest& request,
                    std::ostream& err)
{
    try {
        check_shared_outlier_input(&module, request.order, request.options);
    } catch (const std::invalid_argument& e) {  // the model's or the procedure's rules, a level or method rejected
        fmt::print(err, "ljungcv outliers: {}\n", e.what());
        return EXIT_INVALID_ARGUMENT;
    }
    CsvReader csv(in);
    std::optional<KeyedSeriesReader> reader;
    try {
        reader.emplace(csv, *request.by);
    } catch (const SeriesInputError& e) {
        fmt::print(err, "ljungcv outliers: {}: {}\n", name, e.what());
        return EXIT_BAD_INPUT;
    }

    Writer writer(request);
    std::size_t failures = 0;
    std::size_t count = 0;
    while (true) {
        Chunk chunk = read_chunk(*reader);
        count += chunk.series.size();
        if (count == 0 && !chunk.read_error) {
            fmt::print(err, "ljungcv outliers: {} holds no series\n", name);
            return EXIT_BAD_INPUT;  // the output collected so far is dropped unwritten
        }
        std::vector<std::span<const double>> runnable;
        for (const KeyedSeries& keyed : chunk.series) {
            if (keyed.error.empty()) {
                runnable.emplace_back(keyed.series.values);
            }
        }
        std::vector<BatchOutcome> outcomes =
            find_outliers_batch(&module, runnable, request.order, request.options, request.workers);
        std::size_t k = 0;
        for (const KeyedSeries& keyed : chunk.series) {
            Outcome outcome{nullptr, std::nullopt, platform::escape_controls(keyed.error)};
            if (keyed.error.empty()) {
                BatchOutcome& done = outcomes[k++];
                outcome = done.result ? Outcome{&*done.result, Status::ok, ""} : failed(done.failure);
            }
            if (outcome.result == nullptr) {
                ++failures;
                fmt::print(err, "ljungcv outliers: series '{}' (lines {}-{}): {}\n",
                           platform::escape_controls(keyed.id), keyed.first_line, keyed.last_line, outcome.message);
            } else {
                std::vector<std::string> notes = model_notes(request, *outcome.result);
                for (std::string& note : outliers_notes(*outcome.result)) {
                    notes.push_back(std::move(note));
                }
                for (const std::string& note : notes) {
                    fmt::print(err, "ljungcv outliers: series '{}': note: {}\n", platform::escape_controls(keyed.id),
                               note);
                }
            }
            writer.series(keyed, outcome);
        }
        if (chunk.read_error) {
            writer.finish(false);
            fmt::print(err, "ljungcv outliers: {}: {}\n", name, *chunk.read_error);
            return EXIT_BAD_INPUT;
        }
        if (chunk.at_end) {
            break;
        }
    }
    writer.finish(true);
    return failures > 0 ? EXIT_BAD_INPUT : EXIT_VALUE;
}

}  // namespace ljungcv
