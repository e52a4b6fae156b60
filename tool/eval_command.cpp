// ljungcv eval: batch evaluation of lines "n alpha [method]" into CSV or
// JSON Lines, one row per data line, in input order.
//
// Lines are read in blocks and written in blocks, so memory stays constant
// however long the input. A header line that names the columns (n, alpha,
// method, in any order, among others) says where they are; without one,
// the fields are n, alpha and method in that order. Each method has its own
// curve in the core, whose frame is reused line by line; a method text the
// core does not know goes to the module as written, so the module decides
// what it accepts.
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>

#include <fmt/ostream.h>

#include "commands.h"
#include "core/numbers.h"
#include "core/sensible_range.h"
#include "csv.h"
#include "exit_codes.h"
#include "platform/line_reader.h"
#include "platform/checked_output.h"
#include "platform/output_buffer.h"
#include "record_writer.h"

namespace ljungcv {

namespace {

// Where a data line's fields are: by position, or as a header named them.
struct Columns {
    static constexpr std::size_t NONE = CsvFields::KEPT;

    bool from_header = false;
    std::size_t n = 0;
    std::size_t alpha = 1;
    std::size_t method = 2;

    // The columns a header line names (n, alpha, method in any case), or
    // nothing when it names no n.
    static std::optional<Columns> of_header(const CsvFields& line)
    {
        Columns columns{true, NONE, NONE, NONE};
        const std::pair<const char*, std::size_t*> names[] = {
            {"n", &columns.n}, {"alpha", &columns.alpha}, {"method", &columns.method}};
        for (std::size_t i = std::min(line.count, CsvFields::KEPT); i-- > 0;) {  // the first of a name counts
            for (const auto& [name, column] : names) {
                if (std::equal(line.fields[i].begin(), line.fields[i].end(), name, name + std::strlen(name),
                               [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
                    *column = i;
                }
            }
        }
        return columns.n != NONE ? std::optional<Columns>(columns) : std::nullopt;
    }
};

class BatchEvaluator {
public:
    BatchEvaluator(const LoadedModule& module, const EvalOptions& options, std::optional<double> alpha)
        : module_(module),
          default_alpha_(alpha),
          alpha_text_(options.alpha.value_or("")),
          method_text_(options.method)
    {
        for (const Method method : every_method()) {
            curves_.push_back(std::make_unique<MethodCurve>(module, method));
        }
    }

    // The record of one data line; `why` receives the message of an error row.
    Record evaluate(const CsvFields& line, const Columns& columns, std::string& why)
    {
        const auto field = [&line](std::size_t column) {
            return column < std::min(line.count, CsvFields::KEPT) ? line.fields[column] : std::string_view();
        };
        Record record;
        record.n = field(columns.n);
        record.alpha = columns.alpha != Columns::NONE && line.count > columns.alpha ? field(columns.alpha)
                                                                                      : std::string_view(alpha_text_);
        record.method = field(columns.method);
        const bool level_given = (columns.alpha != Columns::NONE && line.count > columns.alpha) || default_alpha_;
        const bool fits = columns.from_header ? line.count > columns.n : line.count <= 3;
        if (!fits || !level_given) {
            why = columns.from_header
                      ? fmt::format("expected the fields the header names, found {}", line.count)
                      : fmt::format("expected 'n alpha [method]'{}, found {} field{}", default_alpha_ ? " or 'n'" : "",
                                    line.count, line.count == 1 ? "" : "s");
            record.error = why;
            return record;
        }
        record.n_value = parse_number(record.n);
        record.alpha_value = parse_number(record.alpha);
        if (!record.n_value || !record.alpha_value) {
            why = fmt::format("'{}' is not a number", !record.n_value ? record.n : record.alpha);
            record.error = why;
            return record;
        }

        // An empty method field gives no method, as a missing one does.
        std::optional<std::string_view> method;
        if (!record.method.empty()) {
            method = record.method;
        } else if (method_text_) {
            method = *method_text_;
        }
        const std::optional<Method> chosen = method ? method_named(*method) : DEFAULT_METHOD;
        if (chosen) {
            RecentPoints& points = curves_[static_cast<std::size_t>(*chosen)]->points;
            result_ = assess_at(points, *record.n_value, *record.alpha_value);
            record.method = method_keyword(*chosen);
        } else {
            Curve curve(module_, *method);  // the module decides, and flags it
            result_ = {curve.at(*record.n_value, *record.alpha_value), Range::holds};
            record.method = *method;
        }
        record.result = &result_;
        return record;
    }

private:
    // Each method's curve and the points it evaluated last.
    struct MethodCurve {
        MethodCurve(const LoadedModule& module, Method method) : curve(module, method), points(curve) {}
        Curve curve;
        RecentPoints points;
    };

    const LoadedModule& module_;
    std::vector<std::unique_ptr<MethodCurve>> curves_;  // in the function's order of methods
    std::optional<double> default_alpha_;
    std::string alpha_text_;
    std::optional<std::string> method_text_;
    AssessedPoint result_;
};

enum class InputOutcome { read, unreadable };

// Evaluates every line of one input. `errors` counts the error rows.
InputOutcome evaluate_input(std::FILE* in, const std::string& name, BatchEvaluator& evaluator, RecordWriter& writer,
                            platform::OutputBuffer& out, std::ostream& err, std::size_t& errors)
{
    platform::LineReader reader(in);
    std::string scratch;
    std::string why;
    std::optional<Columns> columns;  // set by the first data line: a header's, or by position
    const std::string where = name.empty() ? "" : name + ", ";
    std::string_view text;
    while (true) {
        const platform::LineReader::Got got = reader.next(text);
        if (got == platform::LineReader::Got::end) {
            return InputOutcome::read;
        }
        if (got == platform::LineReader::Got::error) {
            fmt::print(err, "ljungcv eval: cannot read {}: {}\n", name.empty() ? "standard input" : name,
                       reader.reason());
            return InputOutcome::unreadable;
        }
        Record record;
        why.clear();
        if (got == platform::LineReader::Got::too_long) {
            why = fmt::format("longer than {} bytes", platform::LineReader::MAX_LINE);
            record.error = why;
        } else {
            const CsvFields line = split_csv_line(text, scratch);
            if (!line.error.empty()) {
                why = line.error;
                record.error = why;
            } else if (line.count == 0 || (!columns && (columns = Columns::of_header(line)))) {
                continue;  // blank, a comment, or the header
            } else {
                if (!columns) {
                    columns = Columns{};
                }
                record = evaluator.evaluate(line, *columns, why);
            }
        }
        if (!columns) {
            columns = Columns{};
        }
        if (!why.empty()) {
            ++errors;
            fmt::print(err, "ljungcv eval: {}line {}: {}\n", where, reader.number(), why);
        }
        writer.write(record);
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
        fmt::print(err, "ljungcv eval: --method '{}' is not one of {} (any case)\n", *options.method,
                   keywords_by_method());
        return EXIT_USAGE;
    }
    if (options.format != "csv" && options.format != "json") {
        fmt::print(err, "ljungcv eval: --format '{}' is not csv or json\n", options.format);
        return EXIT_USAGE;
    }
    const std::vector<std::string> inputs = options.files.empty() ? std::vector<std::string>{"-"} : options.files;
    if (platform::input_closed() && std::find(inputs.begin(), inputs.end(), "-") != inputs.end()) {
        fmt::print(err, "ljungcv eval: cannot read standard input: it is closed\n");
        return EXIT_BAD_INPUT;
    }

    ModuleSession session(module);  // a module without LJUNGCV fails before any input is read
    BatchEvaluator evaluator(session, options, alpha);
    platform::OutputBuffer out(&platform::write_output);
    RecordWriter writer(out, options.format == "json" ? RecordFormat::json_lines : RecordFormat::csv);

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
    writer.finish();
    out.finish();
    return errors > 0 ? EXIT_BAD_INPUT : EXIT_VALUE;
}

}  // namespace ljungcv
