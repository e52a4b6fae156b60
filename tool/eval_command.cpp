// ljungcv eval: batch evaluation of lines "n alpha [method]" into CSV or
// JSON Lines, one row per data line, in input order.
//
// Lines are read in blocks and written in blocks, so memory stays constant
// however long the input. Each line is evaluated through one of two
// prepared call frames (two or three arguments) whose values are replaced
// line by line; the method text goes to the module as written, so the
// module decides what it accepts.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>

#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "csv.h"
#include "domain.h"
#include "exit_codes.h"
#include "line_reader.h"
#include "module_session.h"
#include "numbers.h"
#include "output.h"
#include "output_buffer.h"

namespace ljungcv {

namespace {

// Frames for method texts up to this length are kept, one per length, so
// that replacing the text copies it instead of allocating a buffer.
constexpr std::size_t CACHED_FRAME_LENGTHS = 33;

bool is_header(std::string_view first_field)
{
    return first_field == "n" || first_field == "N";
}

// A text as a JSON string; bytes that are not UTF-8 become U+FFFD.
std::string json_text(std::string_view text)
{
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The row of one line, whatever became of it.
struct Row {
    std::string_view n;
    std::string_view alpha;
    std::string_view method;  // the method that produced the value, or the text as given
    std::optional<double> n_value;
    std::optional<double> alpha_value;
    bool evaluated = false;
    CurvePoint point{0.0, 0};
    TurnDown turn = TurnDown::none;
    std::string_view error;
};

class RowWriter {
public:
    RowWriter(OutputBuffer& out, bool json) : out_(out), json_(json)
    {
        if (!json_) {
            out_.text("n,alpha,method,value,status,turned_down\n");
        }
    }

    void write(const Row& row)
    {
        json_ ? write_json(row) : write_csv(row);
    }

private:
    void write_csv(const Row& row)
    {
        write_csv_field(out_, row.n);
        out_.put(',');
        write_csv_field(out_, row.alpha);
        out_.put(',');
        write_csv_field(out_, row.method);
        out_.put(',');
        if (row.evaluated && row.point.status == STATUS_OK) {
            out_.shortest(row.point.value);
        }
        out_.put(',');
        if (row.evaluated) {
            out_.integer(row.point.status);
        } else {
            out_.text("error");
        }
        out_.put(',');
        if (row.evaluated && row.point.status == STATUS_OK) {
            out_.put(row.turn == TurnDown::none ? '0' : '1');
        }
        out_.put('\n');
    }

    void number_or_text(const std::optional<double>& value, std::string_view text)
    {
        if (value && std::isfinite(*value)) {
            out_.text(format_count(*value));  // a whole number in digits, any other as format_shortest
        } else {
            out_.text(json_text(text));
        }
    }

    void write_json(const Row& row)
    {
        out_.text("{\"n\": ");
        number_or_text(row.n_value, row.n);
        out_.text(", \"alpha\": ");
        number_or_text(row.alpha_value, row.alpha);
        out_.text(", \"method\": ");
        out_.text(json_text(row.method));
        out_.text(", \"value\": ");
        if (row.evaluated && row.point.status == STATUS_OK) {
            out_.shortest(row.point.value);
        } else {
            out_.text("null");
        }
        out_.text(", \"status\": ");
        if (row.evaluated) {
            out_.integer(row.point.status);
        } else {
            out_.text("\"error\"");
        }
        out_.text(", \"turned_down\": ");
        if (row.evaluated && row.point.status == STATUS_OK) {
            out_.text(row.turn == TurnDown::none ? "false" : "true");
        } else {
            out_.text("null");
        }
        if (!row.error.empty()) {
            out_.text(", \"error\": ");
            out_.text(json_text(row.error));
        }
        out_.text("}\n");
    }

    OutputBuffer& out_;
    bool json_;
};

class BatchEvaluator {
public:
    BatchEvaluator(ModuleSession& session, const EvalOptions& options, std::optional<double> alpha)
        : entry_(session.ljungcv().entry),
          curves_{Curve(session, Method::corrected), Curve(session, Method::asymptotic)},
          default_alpha_(alpha),
          alpha_text_(options.alpha.value_or("")),
          method_text_(options.method)
    {
    }

    // The row of one data line; `why` receives the message of an error row.
    Row evaluate(const CsvFields& line, std::string& why)
    {
        Row row;
        const std::size_t kept = std::min<std::size_t>(line.count, 3);
        row.n = line.fields[0];
        row.alpha = kept > 1 ? line.fields[1] : std::string_view(alpha_text_);
        row.method = kept > 2 ? line.fields[2] : std::string_view();
        const bool level_given = line.count >= 2 || default_alpha_.has_value();
        if (line.count > 3 || !level_given) {
            why = fmt::format("expected 'n alpha [method]'{}, found {} field{}",
                              default_alpha_ ? " or 'n'" : "", line.count, line.count == 1 ? "" : "s");
            row.error = why;
            return row;
        }
        row.n_value = parse_number(row.n);
        row.alpha_value = parse_number(row.alpha);
        if (!row.n_value || !row.alpha_value) {
            why = fmt::format("'{}' is not a number", !row.n_value ? row.n : row.alpha);
            row.error = why;
            return row;
        }

        std::optional<std::string_view> method;
        if (line.count == 3) {
            method = line.fields[2];
        } else if (method_text_) {
            method = *method_text_;
        }
        if (method) {
            standin::PreparedCall& call = three_arguments(*method);
            call.set_number(0, *row.n_value);
            call.set_number(1, *row.alpha_value);
            call.set_text(2, *method);
            call.clear_flags();
            row.point.status = entry_(call.frame(), &row.point.value);
        } else {
            // Two arguments: the corrected curve's own frame makes that call.
            row.point = curves_[0].at(*row.n_value, *row.alpha_value);
        }
        row.evaluated = true;

        const std::optional<Method> chosen = method ? method_named(*method) : Method::corrected;
        if (chosen) {
            row.method = method_keyword(*chosen);
            row.turn = turned_down(curves_[*chosen == Method::asymptotic ? 1 : 0], *row.n_value, *row.alpha_value,
                                   row.point);
        } else {
            row.method = *method;
        }
        return row;
    }

private:
    standin::PreparedCall& three_arguments(std::string_view method)
    {
        if (method.size() >= three_by_length_.size()) {
            return three_;
        }
        std::unique_ptr<standin::PreparedCall>& call = three_by_length_[method.size()];
        if (!call) {
            const standin::Argument arguments[] = {0.0, 0.0, std::string(method)};
            call = std::make_unique<standin::PreparedCall>(arguments);
        }
        return *call;
    }

    FunctionEntry entry_;
    std::array<Curve, 2> curves_;
    std::optional<double> default_alpha_;
    std::string alpha_text_;
    std::optional<std::string> method_text_;
    standin::PreparedCall three_{std::vector<standin::Argument>{0.0, 0.0, std::string("C")}};
    std::array<std::unique_ptr<standin::PreparedCall>, CACHED_FRAME_LENGTHS> three_by_length_;
};

enum class InputOutcome { read, unreadable };

// Evaluates every line of one input. `errors` counts the error rows.
InputOutcome evaluate_input(std::FILE* in, const std::string& name, BatchEvaluator& evaluator, RowWriter& writer,
                            OutputBuffer& out, std::ostream& err, std::size_t& errors)
{
    LineReader reader(in);
    std::string scratch;
    std::string why;
    bool first_data_line = true;
    const std::string where = name.empty() ? "" : name + ", ";
    std::string_view text;
    while (true) {
        const LineReader::Got got = reader.next(text);
        if (got == LineReader::Got::end) {
            return InputOutcome::read;
        }
        if (got == LineReader::Got::error) {
            fmt::print(err, "ljungcv eval: cannot read {}: {}\n", name.empty() ? "standard input" : name,
                       reader.reason());
            return InputOutcome::unreadable;
        }
        Row row;
        why.clear();
        if (got == LineReader::Got::too_long) {
            why = fmt::format("longer than {} bytes", LineReader::MAX_LINE);
            row.error = why;
        } else {
            const CsvFields line = split_csv_line(text, scratch);
            if (!line.error.empty()) {
                why = line.error;
                row.error = why;
            } else if (line.count == 0) {
                continue;  // blank or a comment
            } else if (first_data_line && is_header(line.fields[0])) {
                first_data_line = false;
                continue;
            } else {
                row = evaluator.evaluate(line, why);
            }
        }
        first_data_line = false;
        if (!why.empty()) {
            ++errors;
            fmt::print(err, "ljungcv eval: {}line {}: {}\n", where, reader.number(), why);
        }
        writer.write(row);
        out.row_done();  // a failed write throws and ends the run
    }
}

}  // namespace

int run_eval(const std::filesystem::path& module, const EvalOptions& options, std::ostream& err)
{
    std::optional<double> alpha;
    if (options.alpha) {
        alpha = parse_number(*options.alpha);
        if (!alpha) {
            fmt::print(err, "ljungcv eval: --alpha '{}' is not a number\n", *options.alpha);
            return EXIT_USAGE;
        }
    }
    if (options.method && !method_named(*options.method)) {
        fmt::print(err, "ljungcv eval: --method '{}' is not one of {}\n", *options.method,
                   "C, CORR, CORRECT, CORRECTED, L, LJUNG (any case)");
        return EXIT_USAGE;
    }
    if (options.format != "csv" && options.format != "json") {
        fmt::print(err, "ljungcv eval: --format '{}' is not csv or json\n", options.format);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    BatchEvaluator evaluator(session, options, alpha);  // a module without LJUNGCV fails before any input is read
    OutputBuffer out(&write_output);
    RowWriter writer(out, options.format == "json");

    const std::vector<std::string> inputs = options.files.empty() ? std::vector<std::string>{"-"} : options.files;
    std::size_t errors = 0;
    for (const std::string& file : inputs) {
        const bool standard_input = file == "-";
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(nullptr, &std::fclose);
        if (!standard_input) {
            opened.reset(std::fopen(file.c_str(), "rb"));
            if (!opened) {
                const int error = errno;
                out.finish();
                fmt::print(err, "ljungcv eval: cannot read '{}': {}\n", file, std::strerror(error));
                return EXIT_BAD_INPUT;
            }
        }
        const InputOutcome outcome = evaluate_input(standard_input ? stdin : opened.get(),
                                                    standard_input ? "" : file, evaluator, writer, out, err, errors);
        if (outcome == InputOutcome::unreadable) {
            out.finish();
            return EXIT_BAD_INPUT;
        }
    }
    out.finish();
    return errors > 0 ? EXIT_BAD_INPUT : EXIT_VALUE;
}

}  // namespace ljungcv
