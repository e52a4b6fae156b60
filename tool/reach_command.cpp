// ljungcv reach THRESHOLD: for each threshold, method and level, the count
// n at which the curve first reaches the threshold where it holds, as the
// core looks it up; as an aligned table with the core's notes beneath, or
// as CSV or one JSON document.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "core/explanations.h"
#include "core/function_facts.h"
#include "core/numbers.h"
#include "core/reach.h"
#include "core/stretches.h"
#include "exit_codes.h"
#include "number_list.h"
#include "option_checks.h"
#include "platform/checked_output.h"
#include "platform/output_buffer.h"

namespace ljungcv {

namespace {

struct ReachRow {
    double threshold;
    Method method;
    double alpha;
    ThresholdReach found;
};

// A number for CSV and JSON: exact, or empty (JSON: null) where there is none.
std::string exact_or_empty(double value, const char* empty)
{
    return std::isnan(value) || is_missing(value) ? std::string(empty) : format_shortest(value);
}

std::string count_or_empty(double n, const char* empty)
{
    return std::isnan(n) ? std::string(empty) : format_count(n);
}

void write_text(platform::OutputBuffer& out, const std::vector<ReachRow>& rows)
{
    constexpr int DIGITS = DEFAULT_DIGITS;
    std::vector<std::vector<std::string>> cells = {{"threshold", "method", "alpha", "n", "value at n", "at n - 1"}};
    for (const ReachRow& row : rows) {
        const bool crosses = row.found.reach == Reach::crosses;
        const bool at_n = row.found.reach != Reach::never;
        cells.push_back({format_shortest(row.threshold), method_keyword(row.method), format_shortest(row.alpha),
                         at_n ? format_count(row.found.n) : "never",
                         at_n ? format_fixed(row.found.value, DIGITS) : "n/a",
                         crosses ? format_fixed(row.found.previous, DIGITS) : "n/a"});
    }
    std::vector<std::size_t> widths(cells.front().size(), 0);
    for (const auto& line : cells) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            // Names to the left, numbers to the right.
            const bool left = i == 1 || i == 2;
            text += left ? fmt::format("{}{:<{}}", i == 0 ? "" : "  ", line[i], widths[i])
                         : fmt::format("{}{:>{}}", i == 0 ? "" : "  ", line[i], widths[i]);
        }
        out.text(std::string_view(text).substr(0, text.find_last_not_of(' ') + 1));
        out.put('\n');
        out.row_done();
    }
    // What the look-up means where it did not find a crossing.
    bool first_note = true;
    for (const ReachRow& row : rows) {
        if (row.found.reach != Reach::crosses) {
            out.text(fmt::format("{}{}\n", first_note ? "\n" : "",
                                 explain_reach(row.found, row.alpha, row.threshold, row.method)));
            first_note = false;
        }
    }
}

void write_csv(platform::OutputBuffer& out, const std::vector<ReachRow>& rows)
{
    out.text("threshold,method,alpha,reach,n,value,value_before,outside_n\n");
    for (const ReachRow& row : rows) {
        const ThresholdReach& found = row.found;
        out.text(fmt::format("{},{},{},{},{},{},{},{}\n", format_shortest(row.threshold), method_keyword(row.method),
                             format_shortest(row.alpha), reach_name(found.reach), count_or_empty(found.n, ""),
                             exact_or_empty(found.value, ""), exact_or_empty(found.previous, ""),
                             count_or_empty(found.outside_n, "")));
        out.row_done();
    }
}

void write_json(platform::OutputBuffer& out, const std::vector<ReachRow>& rows)
{
    out.text(fmt::format("{{\n  \"function\": \"{}\",\n  \"rows\": [", FUNCTION_NAME));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ReachRow& row = rows[i];
        const ThresholdReach& found = row.found;
        const std::string note = explain_reach(found, row.alpha, row.threshold, row.method);
        out.text(fmt::format("{}\n    {{\"threshold\": {}, \"method\": \"{}\", \"alpha\": {}, \"reach\": \"{}\", "
                             "\"n\": {}, \"value\": {}, \"value_before\": {}, \"outside_n\": {}, \"note\": {}}}",
                             i == 0 ? "" : ",", format_shortest(row.threshold), method_keyword(row.method),
                             format_shortest(row.alpha), reach_name(found.reach), count_or_empty(found.n, "null"),
                             exact_or_empty(found.value, "null"), exact_or_empty(found.previous, "null"),
                             count_or_empty(found.outside_n, "null"), nlohmann::json(note).dump()));
        out.row_done();
    }
    out.text("\n  ]\n}\n");
}

}  // namespace

int run_reach(const std::filesystem::path& module, const ReachOptions& options, std::ostream& err)
{
    std::optional<OutputFormat> format;
    std::optional<std::vector<Method>> methods;
    std::vector<double> thresholds;
    std::vector<double> levels;
    try {
        format = checked_format(options.format, FormatCommand::reach);
        methods = checked_methods(options.method);
        thresholds = checked_list(options.thresholds).values();
        levels = checked_list(options.alpha_list).values();
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv reach: {}\n", e.what());
        return EXIT_USAGE;
    }
    if (thresholds.size() * levels.size() * methods->size() > MAX_REACH_ROWS) {
        fmt::print(err, "ljungcv reach: {} thresholds x {} levels x {} methods are more than {} look-ups\n",
                   thresholds.size(), levels.size(), methods->size(), MAX_REACH_ROWS);
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    std::vector<std::unique_ptr<Curve>> curves;
    for (const Method method : *methods) {
        curves.push_back(std::make_unique<Curve>(session, method));
    }
    for (const double alpha : levels) {
        if (level_rejected(*curves.front(), alpha)) {
            fmt::print(err, "ljungcv reach: {}\n", explain_rejection(2, 10.0, alpha, ""));
            return EXIT_INVALID_ARGUMENT;
        }
    }
    // Each curve's stretches at each level once, for every threshold.
    std::vector<std::vector<Stretch>> found;
    found.reserve(curves.size() * levels.size());
    for (const std::unique_ptr<Curve>& curve : curves) {
        for (const double alpha : levels) {
            found.push_back(stretches(*curve, alpha));
        }
    }
    std::vector<ReachRow> rows;
    for (const double threshold : thresholds) {
        for (std::size_t m = 0; m < curves.size(); ++m) {
            for (std::size_t a = 0; a < levels.size(); ++a) {
                rows.push_back({threshold, (*methods)[m], levels[a],
                                reach(*curves[m], levels[a], threshold, found[m * levels.size() + a])});
            }
        }
    }
    platform::OutputBuffer out(&platform::write_output);
    switch (*format) {
    case OutputFormat::csv:
        write_csv(out, rows);
        break;
    case OutputFormat::json:
        write_json(out, rows);
        break;
    default:
        write_text(out, rows);
        break;
    }
    out.finish();
    return EXIT_VALUE;
}

}  // namespace ljungcv
