// ljungcv eval: batch evaluation of lines "n alpha [method]" into CSV or
// JSON Lines, one row per data line, in input order.
//
// Records are read in blocks and written in blocks, so memory stays
// constant however long the input. A header that names the columns says
// where they are; without one, the fields are n, alpha and method in that
// order (eval_lines.h has the rules). Each method has its own
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
#include "eval_lines.h"
#include "number_list.h"
#include "option_checks.h"
#include "output_formats.h"
#include "platform/checked_output.h"
#include "platform/output_buffer.h"
#include "record_writer.h"

namespace ljungcv {

namespace {

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

    bool alpha_given() const { return default_alpha_.has_value(); }

    // The record of one data line; `why` receives the message of an error row.
    Record evaluate(const LineFields& fields, std::string& why)
    {
        Record record;
        record.n = fields.n;
        record.alpha = fields.alpha_given ? fields.alpha : std::string_view(alpha_text_);
        record.method = fields.method;
        record.n_value = read_number(record.n, why);
        if (record.n_value) {
            record.alpha_value = read_number(record.alpha, why);
        }
        if (why.empty()) {
            why = fractional_count_problem(*record.n_value);
        }
        if (!why.empty()) {
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

// Evaluates every record of one input. `errors` counts the error rows.
InputOutcome evaluate_input(std::FILE* in, const std::string& name, BatchEvaluator& evaluator, RecordWriter& writer,
                            platform::OutputBuffer& out, std::ostream& err, std::size_t& errors)
{
    CsvReader reader(in);
    InputLines lines(evaluator.alpha_given());
    CsvRecord csv;
    LineFields fields;
    std::string why;
    const std::string where = name.empty() ? "" : name + ", ";
    while (true) {
        const CsvReader::Got got = reader.next(csv);
        if (got == CsvReader::Got::error) {
            fmt::print(err, "ljungcv eval: cannot read {}: {}\n", name.empty() ? "standard input" : name,
                       reader.reason());
            return InputOutcome::unreadable;
        }
        if (got == CsvReader::Got::end) {
            if (const std::string skipped = lines.skipped_lines(); !skipped.empty()) {
                fmt::print(err, "ljungcv eval: {}{}\n", where, skipped);
            }
            return InputOutcome::read;
        }
        why.clear();
        Record record;
        InputLines::Kind kind = InputLines::Kind::error;
        if (!csv.error.empty()) {
            why = csv.error;
            lines.take_unreadable();
        } else {
            kind = lines.take(csv, fields, why);
        }
        if (kind == InputLines::Kind::header) {
            continue;
        }
        if (kind == InputLines::Kind::data) {
            record = evaluator.evaluate(fields, why);
        } else {
            record.error = why;
        }
        if (!why.empty()) {
            ++errors;
            if (kind != InputLines::Kind::skipped) {
                const std::string at = csv.first_line == csv.last_line
                                           ? fmt::format("line {}", csv.first_line)
                                           : fmt::format("lines {}-{}", csv.first_line, csv.last_line);
                fmt::print(err, "ljungcv eval: {}{}: {}\n", where, at, why);
            }
        }
        writer.write(record);
        out.row_done();  // a failed write throws and ends the run
    }
}

}  // namespace

int run_eval(const std::filesystem::path& module, const EvalOptions& options, std::ostream& err)
{
    std::optional<double> alpha;
    OutputFormat format = OutputFormat::csv;
    try {
        if (options.alpha) {
            alpha = checked_number("--alpha", *options.alpha);
        }
        if (options.method) {
            checked_method(*options.method);
        }
        format = checked_format(options.format, FormatCommand::eval);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv eval: {}\n", e.what());
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
    // The output begins with the first input that opens: a run that reads
    // nothing writes nothing.
    std::optional<RecordWriter> writer;

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
        if (!writer) {
            writer.emplace(out, format == OutputFormat::json ? RecordFormat::json_lines : RecordFormat::csv);
        }
        const InputOutcome outcome = evaluate_input(standard_input ? stdin : opened.get(),
                                                    standard_input ? "" : file, evaluator, *writer, out, err, errors);
        if (outcome == InputOutcome::unreadable) {
            out.finish();
            return EXIT_BAD_INPUT;
        }
    }
    writer->finish();
    out.finish();
    return errors > 0 ? EXIT_BAD_INPUT : EXIT_VALUE;
}

}  // namespace ljungcv
