// ljungcv outliers [FILE]: the core's outlier procedure on one series read
// from a file or standard input; the outliers and the model as text, the
// series with its adjusted values and outliers as CSV, or all of it as one
// JSON document. Nothing is written unless the procedure gave a result.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "core/numbers.h"
#include "core/outlier_batch.h"
#include "core/outlier_procedure.h"
#include "csv.h"
#include "exit_codes.h"
#include "model_text.h"
#include "option_checks.h"
#include "outliers_output.h"
#include "platform/checked_output.h"
#include "platform/escaped_text.h"
#include "platform/output_buffer.h"
#include "series_input.h"

namespace ljungcv {

namespace {

// The items of "a,b,c", empty ones kept (the checks name them).
std::vector<std::string_view> comma_items(std::string_view text)
{
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) {
            return items;
        }
        start = comma + 1;
    }
}

// "1,0,0" as `count` whole numbers, each from 0 to 366.
std::vector<int> whole_numbers(std::string_view option, std::string_view text, std::size_t count,
                               std::string_view form)
{
    std::vector<int> numbers;
    for (const std::string_view item : comma_items(text)) {
        numbers.push_back(checked_whole_number(option, item, 0, 366));
    }
    if (numbers.size() != count) {
        throw OptionError(fmt::format("{} '{}' is not {} ({} whole numbers separated by commas)", option,
                                      platform::escape_controls(text), form, count));
    }
    return numbers;
}

OutlierTypes checked_types(std::string_view text)
{
    std::int32_t bits = 0;
    for (const std::string_view item : comma_items(text)) {
        const std::optional<OutlierType> type = outlier_type_named(item);
        if (!type) {
            throw OptionError(fmt::format("--types: '{}' is not an outlier type (AO, IO, LS, TC or SLS, any case)",
                                          platform::escape_controls(item)));
        }
        bits |= static_cast<std::int32_t>(*type);
    }
    return *OutlierTypes::of_bits(bits);
}

// --seed: a whole number from 0 to 2^64 - 1, every digit of it read.
std::uint64_t checked_seed(std::string_view text)
{
    std::uint64_t seed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw OptionError(fmt::format("--seed '{}' is not a whole number from 0 to {}",
                                      platform::escape_controls(text), std::numeric_limits<std::uint64_t>::max()));
    }
    return seed;
}

// The model: identified from the series (--order auto, the default when
// neither --order nor --seasonal is given) under --period's season, or the
// order given, with --seasonal's part.
void checked_model(const OutliersOptions& given, OutliersRequest& request)
{
    if (given.order ? *given.order == "auto" : !given.seasonal) {
        if (given.seasonal) {
            throw OptionError("--seasonal: with --order auto the seasonal orders are identified too; "
                              "give the period alone with --period S");
        }
        request.order.period = given.period ? checked_whole_number("--period", *given.period, 1, MAX_PERIOD) : 1;
        request.options.identify = IdentificationOptions{};
        return;
    }
    if (given.period) {
        throw OptionError("--period: only with --order auto; with an order given, --seasonal gives the period "
                          "(P,D,Q,period)");
    }
    std::vector<int> order;
    try {
        order = whole_numbers("--order", given.order.value_or("0,0,0"), 3, "p,d,q");
    } catch (const OptionError& e) {
        throw OptionError(std::string(e.what()) + "; or auto, the model identified from the series");
    }
    request.order.p = order[0];
    request.order.d = order[1];
    request.order.q = order[2];
    if (given.seasonal) {
        const std::vector<int> seasonal = whole_numbers("--seasonal", *given.seasonal, 4, "P,D,Q,period");
        request.order.P = seasonal[0];
        request.order.D = seasonal[1];
        request.order.Q = seasonal[2];
        request.order.period = seasonal[3];
    }
}

}  // namespace

OutliersRequest checked_outliers_request(const OutliersOptions& given)
{
    OutliersRequest request;
    checked_model(given, request);
    if (given.alpha) {
        request.options.alpha = checked_number("--alpha", *given.alpha);
    }
    if (given.method) {
        request.options.method = *given.method;
    }
    if (given.types) {
        request.options.types = checked_types(*given.types);
    }
    if (given.delta) {
        request.options.delta = checked_number("--delta", *given.delta);
    }
    if (given.critical_value) {
        request.options.critical_value = checked_number("--critical-value", *given.critical_value);
    }
    if (given.resamples) {
        // The core checks the count against the level; here only that it is one.
        request.options.resamples = checked_whole_number("--resamples", *given.resamples, 0, 1000000000);
    }
    if (given.seed) {
        request.options.seed = checked_seed(*given.seed);
    }
    request.format = checked_format(given.format, FormatCommand::outliers);
    if (given.by) {
        request.by = *given.by;
    }
    if (given.workers) {
        if (!given.by) {
            throw OptionError("--workers: only with --by, whose series run on that many threads");
        }
        request.workers = static_cast<unsigned>(checked_whole_number(
            "--workers", *given.workers, 0, static_cast<int>(MAX_BATCH_WORKERS)));
    }
    return request;
}

namespace {

// An outlier's or a value's time: as the input's time column gives it, else
// its 1-based position.
std::string time_of(const Series& series, std::size_t index)
{
    return series.times.empty() ? std::to_string(index + 1) : series.times[index];
}

// The time column's text in JSON, null without one.
nlohmann::ordered_json json_time(const Series& series, std::size_t index)
{
    return series.times.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(series.times[index]);
}

// The final model's order: the one given, or the last identification's.
const ArimaOrder& final_order(const OutliersRequest& request, const OutlierResult& result)
{
    return result.identifications.empty() ? request.order : result.identifications.back().order;
}

std::string exact_or(double value, const char* none)
{
    return std::isnan(value) ? std::string(none) : format_shortest(value);
}

}  // namespace

void write_outliers_text(platform::OutputBuffer& out, const Series& series, const OutliersRequest& request,
                         const OutlierResult& result)
{
    const std::size_t count = result.outliers.size();
    out.text(fmt::format("Regression with {} errors: {} values, {} tested, {} outlier{} at critical value {}{} "
                         "({} round{})\n",
                         model_name(final_order(request, result)), series.values.size(), result.tested, count,
                         count == 1 ? "" : "s", format_fixed(result.critical_value, 4),
                         result.calibrated ? fmt::format(" calibrated by resampling (t with {:.3g} degrees of freedom)",
                                                         result.tail_dof)
                                           : std::string(),
                         result.rounds, result.rounds == 1 ? "" : "s"));
    for (const std::string& line : identification_lines(result.identifications)) {
        out.text(line + "\n");
    }
    if (count > 0) {
        std::size_t width = 4;
        for (const FoundOutlier& o : result.outliers) {
            width = std::max(width, platform::escape_controls(time_of(series, o.index)).size());
        }
        out.text(fmt::format("\n{:>{}}  type  {:>12}  {:>8}\n", "time", width, "effect", "t"));
        for (const FoundOutlier& o : result.outliers) {
            out.text(fmt::format("{:>{}}  {:<4}  {:>12.6g}  {:>8.3f}\n",
                                 platform::escape_controls(time_of(series, o.index)), width,
                                 outlier_type_name(o.type), o.effect, o.t_statistic));
            out.row_done();
        }
    }
    std::size_t width = 11;
    for (const std::string& name : result.fit.names) {
        width = std::max(width, name.size());
    }
    out.text(fmt::format("\n{:<{}}  {:>12}  {:>12}\n", "coefficient", width, "estimate", "std. error"));
    for (std::size_t i = 0; i < result.fit.names.size(); ++i) {
        out.text(fmt::format("{:<{}}  {:>12.6g}  {:>12.6g}\n", result.fit.names[i], width,
                             result.fit.coefficients[i], result.fit.standard_errors[i]));
        out.row_done();
    }
    out.text(fmt::format("sigma^2 {:.6g}, log-likelihood {:.6g}, AICc {:.6g}\n", result.fit.sigma2,
                         result.fit.loglik, result.fit.aicc));
}

void write_outliers_csv_rows(platform::OutputBuffer& out, const Series& series, const OutlierResult& result,
                             std::string_view before, std::string_view after)
{
    std::vector<const FoundOutlier*> at(series.values.size(), nullptr);
    for (const FoundOutlier& o : result.outliers) {
        at[o.index] = &o;
    }
    for (std::size_t t = 0; t < series.values.size(); ++t) {
        out.text(before);
        out.text(fmt::format("{},", t + 1));
        if (!series.times.empty()) {
            write_csv_field(out, series.times[t]);
        }
        out.text(fmt::format(",{},{},", exact_or(series.values[t], ""), exact_or(result.adjusted[t], "")));
        if (at[t] != nullptr) {
            out.text(fmt::format("{},{},{}", outlier_type_name(at[t]->type), format_shortest(at[t]->effect),
                                 format_shortest(at[t]->t_statistic)));
        } else {
            out.text(",,");
        }
        out.text(after);
        out.put('\n');
        out.row_done();
    }
}

namespace {

// JSON numbers: exact, null where there is none.
nlohmann::ordered_json number(double value)
{
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

}  // namespace

nlohmann::ordered_json outliers_document(const Series& series, const OutliersRequest& request,
                                         const OutlierResult& result)
{
    using json = nlohmann::ordered_json;
    json coefficients = json::array();
    for (std::size_t i = 0; i < result.fit.names.size(); ++i) {
        coefficients.push_back({{"name", result.fit.names[i]},
                                {"estimate", number(result.fit.coefficients[i])},
                                {"std_error", number(result.fit.standard_errors[i])}});
    }
    const ArimaOrder& o = final_order(request, result);
    json outliers = json::array();
    for (const FoundOutlier& found : result.outliers) {
        outliers.push_back({{"index", found.index + 1},
                            {"time", json_time(series, found.index)},
                            {"type", outlier_type_name(found.type)},
                            {"effect", number(found.effect)},
                            {"t", number(found.t_statistic)}});
    }
    json values = json::array();
    for (std::size_t t = 0; t < series.values.size(); ++t) {
        values.push_back({{"index", t + 1},
                          {"time", json_time(series, t)},
                          {"value", number(series.values[t])},
                          {"adjusted", number(result.adjusted[t])}});
    }
    json document = {
        {"model",
         {{"order", {o.p, o.d, o.q}},
          {"seasonal", {o.P, o.D, o.Q, o.period}},
          {"coefficients", coefficients},
          {"sigma2", number(result.fit.sigma2)},
          {"loglik", number(result.fit.loglik)},
          {"aic", number(result.fit.aic)},
          {"aicc", number(result.fit.aicc)},
          {"bic", number(result.fit.bic)},
          {"converged", result.fit.converged}}},
    };
    if (!result.identifications.empty()) {
        document["identification"] = identification_document(result.identifications);
    }
    document["critical_value"] = number(result.critical_value);
    document["calibrated"] = result.calibrated;
    document["tail_dof"] = number(result.tail_dof);
    document["n"] = series.values.size();
    document["tested"] = result.tested;
    document["rounds"] = result.rounds;
    document["short_series"] = result.short_series;
    document["heavy_tails"] = result.heavy_tails;
    document["excess_kurtosis"] = number(result.excess_kurtosis);
    document["kurtosis_p_value"] = number(result.kurtosis_p_value);
    document["reached_bound"] = result.reached_bound;
    document["rounds_exhausted"] = result.rounds_exhausted;
    document["outliers"] = outliers;
    document["series"] = values;
    return document;
}

void write_json_members(platform::OutputBuffer& out, const nlohmann::ordered_json& object, std::string_view indent)
{
    using json = nlohmann::ordered_json;
    // One line per member, and per element of the outliers and the series,
    // each line compact; numbers are the shortest text of their double.
    const auto compact = [](const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); };
    bool first = true;
    for (const auto& [key, value] : object.items()) {
        out.text(fmt::format("{}\n{}{}: ", first ? "" : ",", indent, compact(key)));
        first = false;
        if (value.is_array() && !value.empty() && value.front().is_object()) {
            for (std::size_t i = 0; i < value.size(); ++i) {
                out.text(fmt::format("{}\n{}  {}", i == 0 ? "[" : ",", indent, compact(value[i])));
                out.row_done();
            }
            out.text(fmt::format("\n{}]", indent));
        } else {
            out.text(compact(value));
        }
    }
}

std::vector<std::string> model_notes(const OutliersRequest& request, const OutlierResult& result)
{
    std::vector<std::string> said;
    if (request.format == OutputFormat::csv) {
        for (const std::string& line : identification_lines(result.identifications)) {
            said.push_back(said.empty() ? model_name(final_order(request, result)) + " " + line : line);
        }
    }
    return said;
}

std::vector<std::string> outliers_notes(const OutlierResult& result)
{
    std::vector<std::string> said;
    if (result.short_series) {
        said.push_back(fmt::format("{} tested values are fewer than {}: on series this short the procedure reports "
                                   "outliers in more series than alpha says",
                                   result.tested, SHORTEST_HOLDING_LEVEL));
    }
    if (result.heavy_tails) {
        said.push_back(fmt::format("the residuals' tails are heavier than normal (excess kurtosis {:.3g}, p = {:.3g}): "
                                   "the critical value assumes normal residuals, and with heavy tails it reports "
                                   "outliers in more series than alpha says (--resamples calibrates it for them)",
                                   result.excess_kurtosis, result.kurtosis_p_value));
    }
    if (result.reached_bound) {
        said.push_back("the outliers reached their bound, a fifth of the tested values: the model or the threshold "
                       "does not fit the series");
    }
    if (result.rounds_exhausted) {
        said.push_back("the last round still found new outliers");
    }
    return said;
}

int run_outliers(const std::filesystem::path& module, const OutliersOptions& options, std::ostream& err)
{
    std::optional<OutliersRequest> request;
    try {
        request = checked_outliers_request(options);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv outliers: {}\n", e.what());
        return EXIT_USAGE;
    }

    const bool standard_input = !options.file || *options.file == "-";
    const std::string name = standard_input ? "standard input" : platform::escape_controls(*options.file);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(nullptr, &std::fclose);
    if (!standard_input) {
        opened.reset(std::fopen(options.file->c_str(), "rb"));
        if (!opened) {
            const int error = errno;
            fmt::print(err, "ljungcv outliers: cannot read '{}': {}\n", name, std::strerror(error));
            return EXIT_BAD_INPUT;
        }
    }
    ModuleSession session(module);
    if (options.by) {
        return run_outliers_by(session, standard_input ? stdin : opened.get(), name, *request, err);
    }
    Series series;
    try {
        CsvReader reader(standard_input ? stdin : opened.get());
        series = read_series(reader);
    } catch (const SeriesInputError& e) {
        fmt::print(err, "ljungcv outliers: {}: {}\n", name, e.what());
        return EXIT_BAD_INPUT;
    }
    if (series.values.empty()) {
        fmt::print(err, "ljungcv outliers: {} holds no values\n", name);
        return EXIT_BAD_INPUT;
    }

    OutlierResult result;
    try {
        result = find_outliers(&session, series.values, request->order, {}, request->options);
    } catch (const NoCriticalValue& e) {
        fmt::print(err, "ljungcv outliers: {}\n", e.what());
        return EXIT_NO_RESULT;
    } catch (const std::invalid_argument& e) {  // the model's or the procedure's input rules
        fmt::print(err, "ljungcv outliers: {}\n", e.what());
        return EXIT_INVALID_ARGUMENT;
    } catch (const IdentificationFailed& e) {  // no candidate model fits the series
        fmt::print(err, "ljungcv outliers: {}\n", e.what());
        return EXIT_INVALID_ARGUMENT;
    }
    for (const std::string& note : model_notes(*request, result)) {
        fmt::print(err, "ljungcv outliers: note: {}\n", note);
    }
    for (const std::string& note : outliers_notes(result)) {
        fmt::print(err, "ljungcv outliers: note: {}\n", note);
    }
    platform::OutputBuffer out(&platform::write_output);
    switch (request->format) {
    case OutputFormat::csv:
        out.text(fmt::format("{}\n", OUTLIERS_CSV_COLUMNS));
        write_outliers_csv_rows(out, series, result, "", "");
        break;
    case OutputFormat::json:
        out.text("{");
        write_json_members(out, outliers_document(series, *request, result), "  ");
        out.text("\n}\n");
        break;
    default:
        write_outliers_text(out, series, *request, result);
        break;
    }
    out.finish();
    return EXIT_VALUE;
}

}  // namespace ljungcv
