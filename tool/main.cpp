// ljungcv: critical values of outlier tests in time series, computed by the
// cvmodule function module loaded through the stand-in host.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "commands.h"
#include "core/function_facts.h"
#include "core/numbers.h"
#include "core/outlier_procedure.h"
#include "core/sensible_range.h"
#include "exit_codes.h"
#include "nearest_word.h"
#include "number_list.h"
#include "output_formats.h"
#include "platform/checked_output.h"
#include "platform/escaped_text.h"
#include "plot_command.h"
#include "series_input.h"

namespace {

constexpr const char* DESCRIPTION_REST =
    "Each curve is a sensible critical value only over a stretch of n that depends on\n"
    "the level (see ljungcv limits); outside it the value is still printed, with a note\n"
    "on stderr.\n";

// The methods' keywords, from the function's own list.
std::string description()
{
    using ljungcv::Method;
    return "Critical values of outlier tests for a series of N observations at level ALPHA,\n"
           "computed by the cvmodule function LJUNGCV(n, alpha [, method]).\n"
           "Methods, in any case: the corrected curve (the default), named " +
           ljungcv::method_keywords(Method::corrected) + ",\nand Ljung's asymptotic approximation, named " +
           ljungcv::method_keywords(Method::asymptotic) + ".\n" + DESCRIPTION_REST;
}

constexpr const char* EXAMPLES =
    "\nExamples:\n"
    "  ljungcv 10 0.05                     # corrected critical value for 10 observations\n"
    "  ljungcv 100 0.05 L                  # Ljung's asymptotic value\n"
    "  ljungcv --exact 100 0.05 L          # every digit of the double\n"
    "  ljungcv table                       # the corrected method's table at 0.05, 0.01, 0.1\n"
    "  ljungcv table --method both --n 1:20 --alpha 0.05 --format csv\n"
    "  ljungcv eval series.txt > values.csv  # lines 'n alpha [method]' to CSV\n"
    "  ljungcv limits                      # where each curve holds, level by level\n"
    "  ljungcv reach 3.5                   # the n at which each curve reaches 3.5\n"
    "  ljungcv outliers values.txt         # the outliers of a series\n"
    "  ljungcv info                        # what the host learns of the module\n"
    "  ljungcv plot -o curves.svg          # the curves of both methods as a picture\n";

constexpr const char* TABLE_FOOTER =
    "\nLIST: comma-separated values and ranges FIRST:LAST[:STEP], e.g. 1:20,50,100:1000:100.\n"
    "Counts are whole numbers. A level the function rejects (above {highest}, below {lowest}) is an\n"
    "error (exit 2). Rows are written as they are computed, in constant memory.\n"
    "\nFormats: text (aligned columns, both methods side by side), markdown (a pipe\n"
    "table), latex (a tabular with booktabs rules), csv and json (one record per cell:\n"
    "n, alpha, method, value, status, turned_down). Text, markdown and latex round to\n"
    "--digits decimals, or print --exact values; CSV and JSON values are always exact\n"
    "(the shortest text that reads back as the same double).\n"
    "\nA cell without a value shows n/a (CSV: empty, JSON: null, with the host status).\n"
    "A value outside its curve's sensible range (below the value at n - 1 or at\n"
    "{larger_level}, see ljungcv limits) is marked * with a footnote; CSV and JSON say\n"
    "so in turned_down (1/true).\n"
    "\nExamples:\n"
    "  ljungcv table\n"
    "  ljungcv table --n 1:10 --alpha 0.05 --method both\n"
    "  ljungcv table --n 100,1000,10000 --alpha 0.001,0.01,0.05 --format markdown --digits 4\n"
    "  ljungcv table --n 10,100,1000 --alpha 0.001:0.01:0.001 --format json\n";

constexpr const char* EVAL_FOOTER =
    "\nInput: CSV as spreadsheets, R's write.csv and pandas write it: one data line\n"
    "'n alpha [method]', fields separated by a comma or by blanks or tabs (not by\n"
    "semicolons), quoted fields with doubled quotes (a quoted field may hold line\n"
    "breaks), lines ending in LF, CR LF or CR, a UTF-8 byte-order mark. # starts a\n"
    "comment that runs to the end of the line (outside quotes); blank lines are skipped.\n"
    "A first line is a header when one of its fields is n and none is a number: it names\n"
    "the columns n, alpha and method, each once, in any order and case, and other\n"
    "columns are left alone (R's write.csv and pandas' to_csv files as they are); every\n"
    "line under it has its number of fields. A first line of other names only is a\n"
    "header eval does not know: an error, and the lines under it are not evaluated.\n"
    "With --alpha, a line may give only n and a header may name no alpha column;\n"
    "--method is the method of lines that give none or an empty one. n is a whole\n"
    "number. A record is at most 1 MiB.\n"
    "\nOutput: one row per data line, in input order, as CSV with the header\n"
    "n,alpha,method,value,status,turned_down or as JSON Lines (one object per row):\n"
    "n and alpha as given, the method that produced the value (C or L; the text as\n"
    "given when the module rejected it), the value as the shortest text that reads back\n"
    "as the same double (empty or null when there is none), the host status (0 value,\n"
    "120833 no value, 120836 invalid argument) and turned_down: 1 (true) where the\n"
    "value is outside its curve's sensible range (see ljungcv limits). A line that\n"
    "cannot be read gets a row with status 'error' and a message with its line number\n"
    "on stderr; the exit code is then 5.\n"
    "\nExamples:\n"
    "  printf '10 0.05\\n100,0.01,L\\n' | ljungcv eval\n"
    "  ljungcv eval series.txt > values.csv\n"
    "  printf '10\\n100\\n' | ljungcv eval --alpha 0.05 --method L --format json\n";

constexpr const char* LIMITS_FOOTER =
    "\nA critical value for the largest of n test statistics must grow with n and fall as\n"
    "the level alpha grows. Each curve keeps to that only over a stretch of n, which\n"
    "depends on the level: the corrected curve (C) turns down at large n for small levels,\n"
    "Ljung's curve (L) falls for small n. A value is out of range where it is below the\n"
    "value at n - 1, or below the value at {larger_level}. For every method and level\n"
    "this lists the stretches of n from 1 to {largest_count} and what the value does there.\n"
    "The quick form, table, eval and plot mark such values too.\n"
    "\nExamples:\n"
    "  ljungcv limits\n"
    "  ljungcv limits --method C --alpha 0.05,0.01\n";

constexpr const char* REACH_FOOTER =
    "\nThe inverse of a table: for a THRESHOLD that a test uses in place of the critical\n"
    "value (a fixed 3.5, say), the count n at which each curve, rising where it holds\n"
    "(see ljungcv limits), first reaches it, with the values at n and at n - 1. For\n"
    "fewer observations a test with the threshold is stricter than one at the level;\n"
    "from n on it is laxer. A curve at or above the threshold from the start of a stretch\n"
    "where it holds, or below it wherever it holds (n: never), gets a note beneath the\n"
    "table instead, which also says where the curve reaches the threshold out of its\n"
    "sensible range.\n"
    "\nFormats: text (aligned columns and notes), csv and json (one record per look-up:\n"
    "threshold, method, alpha, reach (crosses, from_start or never), n, value,\n"
    "value_before, outside_n; JSON adds the note). Values in CSV and JSON are exact.\n"
    "\nExamples:\n"
    "  ljungcv reach 3.5\n"
    "  ljungcv reach 3,3.5,4 --alpha 0.05 --method C --format csv\n";

constexpr const char* OUTLIERS_FOOTER =
    "\nFinds the outliers of one series under a regression with (seasonal) ARIMA errors:\n"
    "fit the model, take the largest outlier statistic of the residuals while it exceeds\n"
    "LJUNGCV(m, alpha, method) (m the residuals tested), refit with every outlier as a\n"
    "regressor, drop the weakest while its |t| is below the critical value, repeat.\n"
    "Types: AO (additive), LS (level shift), TC (temporary change), IO (innovational),\n"
    "SLS (seasonal level shift: a step in one season; needs a period).\n"
    "\nThe model: --order auto, the default when neither --order nor --seasonal is\n"
    "given, identifies it from the series: the differences by tests (KPSS for d, the\n"
    "seasonal strength for D under --period S), then the orders and a mean or drift by\n"
    "a stepwise search for the least AICc; identified again on the series without the\n"
    "outliers' effects, and the procedure rerun once if that changes the model. An\n"
    "order given (--order p,d,q, with --seasonal P,D,Q,period) is fitted as it is; a\n"
    "mean without differencing. Every format names the model (csv in a note).\n"
    "\nInput: one value a line, or CSV with a header naming a value column (value or y,\n"
    "or the only other column) and an optional time column (time or date). NA, or an\n"
    "empty field in CSV, is a missing value. At most {max_values} values.\n"
    "\nFormats: text (the outliers and the model), csv (one row per time: index, time,\n"
    "value, adjusted, outlier, effect, t) and json (the model, how it was identified,\n"
    "the outliers and the series in one document). Notes on short series, heavy tails\n"
    "and a count at its bound go to stderr. Nothing is written unless the procedure\n"
    "gave a result.\n"
    "\nMany series (--by COLUMN): a CSV whose header names the id column COLUMN, a value\n"
    "column and an optional time column; each series is one run of rows with the same\n"
    "id, read and run {chunk} series at a time on --workers threads. An id that comes\n"
    "back after another is an error naming its line: sort or group the file by id first.\n"
    "Output in the file's order: csv adds id first and status, message last; json is\n"
    "one array of the series' documents, each with id, status and message; text heads\n"
    "each block with == id ==. A series that fails (status 120836: the model refused it;\n"
    "120833: no critical value; error: a value could not be read) fails alone, is\n"
    "reported in the output and on stderr, and makes the exit code 5.\n"
    "\nExamples:\n"
    "  ljungcv outliers monthly.csv --period 12\n"
    "  ljungcv outliers monthly.csv --order 0,1,1 --seasonal 0,1,1,12\n"
    "  ljungcv outliers values.txt --order 1,0,0 --types AO,LS,TC,IO --format csv\n";

// A help text with the function's facts put in where it names them.
std::string with_facts(const char* text)
{
    return fmt::format(fmt::runtime(text), fmt::arg("lowest", core::format_shortest(core::LOWEST_LEVEL)),
                       fmt::arg("highest", core::format_shortest(core::HIGHEST_LEVEL)),
                       fmt::arg("larger_level", core::larger_level_text()),
                       fmt::arg("largest_count", core::format_count(core::LARGEST_COUNT)));
}

}  // namespace

namespace {

// The words and options among `options` that the command line gave, quoted
// and separated by commas, e.g. "'10', '0.05', --exact".
std::string unused_arguments(const std::vector<CLI::Option*>& options)
{
    std::string text;
    for (const CLI::Option* option : options) {
        if (option->count() == 0) {
            continue;
        }
        if (option->get_positional()) {
            for (const std::string& word : option->results()) {
                text += (text.empty() ? "'" : ", '") + word + "'";
            }
        } else {
            text += (text.empty() ? "" : ", ") + option->get_name();
        }
    }
    return text;
}

// The names of the options of `app` that take a value, as typed: "--module".
std::vector<std::string> options_taking_value(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        if (!option->get_positional() && option->get_items_expected_max() > 0) {  // not a flag
            for (const std::string& name : option->get_lnames()) {
                names.push_back("--" + name);
            }
            for (const std::string& name : option->get_snames()) {
                names.push_back("-" + name);
            }
        }
    }
    return names;
}

std::vector<std::string> subcommand_names(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(sub->get_name());
    }
    return names;
}

// "unknown subcommand 'tabel'; did you mean 'table'?" when the first word
// that is no option is not a number, not a subcommand, but near one; else
// empty. N is a number, so such a word can only be a mistyped subcommand.
std::string mistyped_subcommand(const CLI::App& app, const std::vector<std::string>& words)
{
    const std::vector<std::string> taking_value = options_taking_value(app);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool dashed = word.size() > 1 && word.front() == '-';
        if (word == "--" && i + 1 < words.size()) {
            return mistyped_subcommand(app, {words[i + 1]});
        }
        if (dashed && !ljungcv::written_as_number(word)) {
            i += std::find(taking_value.begin(), taking_value.end(), word) != taking_value.end() ? 1 : 0;
            continue;
        }
        const std::vector<std::string> names = subcommand_names(app);
        if (ljungcv::written_as_number(word) || std::find(names.begin(), names.end(), word) != names.end()) {
            return {};
        }
        const std::optional<std::string> meant = ljungcv::nearest_word(word, names);
        return meant ? fmt::format("unknown subcommand '{}'; did you mean '{}'?", word, *meant) : std::string();
    }
    return {};
}

// The quick form's words as CLI11 should see them. CLI11 reads "-5" as a
// number but "-.5" and "-inf" as options; every negative number a user
// writes as N or ALPHA is a number, so when one is given the words go after
// a "--", the options before it. Nothing changes once a subcommand or a "--"
// is given, or when no such number is.
std::vector<std::string> quick_form_words(const CLI::App& app, int argc, char** argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    const std::vector<std::string> taking_value = options_taking_value(app);
    const std::vector<std::string> subcommands = subcommand_names(app);
    std::vector<std::string> options;
    std::vector<std::string> positionals;
    bool negative_number = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--" || std::find(subcommands.begin(), subcommands.end(), word) != subcommands.end()) {
            return words;
        }
        const bool dashed = word.size() > 1 && word.front() == '-';
        if (dashed && ljungcv::written_as_number(word)) {
            negative_number = true;
            positionals.push_back(word);
        } else if (dashed) {
            options.push_back(word);
            if (std::find(taking_value.begin(), taking_value.end(), word) != taking_value.end() && i + 1 < words.size()) {
                options.push_back(words[++i]);
            }
        } else {
            positionals.push_back(word);
        }
    }
    if (!negative_number) {
        return words;
    }
    options.emplace_back("--");
    options.insert(options.end(), positionals.begin(), positionals.end());
    return options;
}

int run(int argc, char** argv)
{
    using namespace ljungcv;

    CLI::App app{description(), "ljungcv"};
    app.footer(std::string(EXAMPLES) + "\n" + with_facts(EXIT_CODES_HELP) +
               "\nThe manual: README.md and docs/ in the source tree; installed, share/doc/cvmodule/\n"
               "(/usr/share/doc/cvmodule/ from the Debian package).\n");
    app.set_version_flag("--version", std::string("ljungcv ") + CVMODULE_VERSION_TEXT);
    app.require_subcommand(0, 1);
    // The same command line on every platform: CLI11 would otherwise read
    // "/x" as an option on Windows, and an absolute path with it.
    app.allow_windows_style_options(false);

    std::string module_option;
    CLI::Option* module_flag =
        app.add_option("--module", module_option, "the module file (default: the one beside ljungcv)");

    QuickOptions quick;
    // What only the quick form uses; given with a subcommand, it is refused.
    const std::vector<CLI::Option*> quick_only = {
        app.add_option("N", quick.n, "number of observations"),
        app.add_option("ALPHA", quick.alpha, "significance level, " + core::level_range_text()),
        app.add_option("METHOD", quick.method, "L or C (and their long forms); default C"),
        app.add_option("--digits", quick.digits, "decimals printed, 0 to 17 (default 9)"),
        app.add_flag("--exact", quick.exact, "print the shortest text that reads back as the same double"),
    };

    TableOptions table_options;
    CLI::App* table = app.add_subcommand("table", "print a grid of critical values");
    table->add_option("--n", table_options.n_list, "LIST of observation counts (whole numbers)")
        ->default_str(table_options.n_list);
    table->add_option("--alpha", table_options.alpha_list, "LIST of levels")->default_str(table_options.alpha_list);
    table->add_option("--method", table_options.method, "C (corrected), L (asymptotic), their long forms, or both")
        ->default_str("C");
    table->add_option("--format", table_options.format, format_names(FormatCommand::table))->default_str("text");
    table->add_option("--digits", table_options.digits, "decimals in text, markdown and latex, 0 to 17 (default 9)");
    table->add_flag("--exact", table_options.exact, "values as the shortest text that reads back as the same double");
    table->footer(with_facts(TABLE_FOOTER));
    table->fallthrough();

    EvalOptions eval_options;
    CLI::App* eval = app.add_subcommand("eval", "evaluate lines 'n alpha [method]' from files or stdin into CSV or JSON");
    eval->add_option("FILE", eval_options.files, "input files, read in order; - or none for standard input");
    eval->add_option("--alpha", eval_options.alpha, "the level of lines that give only n");
    eval->add_option("--method", eval_options.method, "the method of lines that give none (default C)");
    eval->add_option("--format", eval_options.format, format_names(FormatCommand::eval) + " (JSON Lines)")->default_str("csv");
    eval->footer(EVAL_FOOTER);
    eval->fallthrough();

    LimitsOptions limits_options;
    CLI::App* limits =
        app.add_subcommand("limits", "show for which n each curve is a sensible critical value, level by level");
    limits->add_option("--alpha", limits_options.alpha_list, "LIST of levels")->default_str(limits_options.alpha_list);
    limits->add_option("--method", limits_options.method, "C (corrected), L (asymptotic), their long forms, or both")
        ->default_str(limits_options.method);
    limits->footer(with_facts(LIMITS_FOOTER));
    limits->fallthrough();

    ReachOptions reach_options;
    CLI::App* reach = app.add_subcommand("reach", "find the n at which each curve first reaches a THRESHOLD");
    reach->add_option("THRESHOLD", reach_options.thresholds, "LIST of thresholds, e.g. 3.5 or 3,3.5,4")->required();
    reach->add_option("--alpha", reach_options.alpha_list, "LIST of levels")->default_str(reach_options.alpha_list);
    reach->add_option("--method", reach_options.method, "C (corrected), L (asymptotic), their long forms, or both")
        ->default_str(reach_options.method);
    reach->add_option("--format", reach_options.format, format_names(FormatCommand::reach))->default_str("text");
    reach->footer(REACH_FOOTER);
    reach->fallthrough();

    OutliersOptions outliers_options;
    CLI::App* outliers = app.add_subcommand("outliers", "find the outliers of a time series under an ARIMA model");
    outliers->add_option("FILE", outliers_options.file, "the series; - or none for standard input");
    outliers->add_option("--order", outliers_options.order,
                         "p,d,q of the model, or auto: identified from the series (the default without --seasonal)")
        ->default_str("auto");
    outliers->add_option("--seasonal", outliers_options.seasonal,
                         "P,D,Q,period of the seasonal part of an order given (alone: order 0,0,0)");
    outliers->add_option("--period", outliers_options.period,
                         "S, the season of a model identified (--order auto): 2 to 366, or 1 for none (the default)");
    outliers->add_option("--alpha", outliers_options.alpha,
                         "level of the critical value (default " + core::format_shortest(core::DEFAULT_OUTLIER_ALPHA) +
                             ")");
    outliers->add_option("--method", outliers_options.method, "method of the critical value (default C)");
    outliers->add_option("--types", outliers_options.types, "outlier types looked for (default AO,LS,TC)");
    outliers->add_option("--delta", outliers_options.delta,
                         "the temporary change's decay (default " + core::format_shortest(core::DEFAULT_DELTA) + ")");
    outliers->add_option("--critical-value", outliers_options.critical_value, "a threshold instead of LJUNGCV's");
    outliers->add_option("--resamples", outliers_options.resamples,
                         "calibrate the critical value for the series' tails from this many drawn series (" +
                             std::to_string(core::DEFAULT_RESAMPLES) + " is a good count)");
    outliers->add_option("--seed", outliers_options.seed,
                         "the draws' seed (default " + std::to_string(core::DEFAULT_RESAMPLING_SEED) + ")");
    outliers->add_option("--format", outliers_options.format, format_names(FormatCommand::outliers))
        ->default_str("text");
    outliers->add_option("--by", outliers_options.by, "COLUMN naming each series of a long CSV of many series");
    outliers->add_option("--workers", outliers_options.workers, "threads for --by (default one per core; 0 to 256)");
    outliers->footer(fmt::format(fmt::runtime(OUTLIERS_FOOTER), fmt::arg("max_values", MAX_SERIES_VALUES),
                                 fmt::arg("chunk", OUTLIERS_BY_CHUNK_SERIES)));
    outliers->fallthrough();

    CLI::App* info = app.add_subcommand("info", "show the module's image information, version record and functions");
    info->footer("\nExample:\n  ljungcv info --module build/lib/libcvmodule.so\n");
    info->fallthrough();

    PlotOptions plot_options;
    CLI::App* plot = app.add_subcommand("plot", "draw the critical-value curves into an SVG, PNG or PDF file");
    plot->add_option("-o,--output", plot_options.output, "the picture; " + format_names(FormatCommand::plot, "."))->required();
    plot->add_option("--n", plot_options.n_range, "RANGE FIRST:LAST or LIST of observation counts")
        ->default_str(plot_options.n_range);
    plot->add_option("--alpha", plot_options.alpha_list, "LIST of levels")->default_str(plot_options.alpha_list);
    plot->add_option("--method", plot_options.method, "C (corrected), L (asymptotic), their long forms, or both")
        ->default_str(plot_options.method);
    plot->add_flag("--linear", plot_options.linear, "linear n axis (default logarithmic)");
    plot->add_option("--width", plot_options.width, "picture width in pixels, 200 to 10000")
        ->default_str(plot_options.width);
    plot->add_option("--height", plot_options.height, "picture height in pixels, 150 to 10000")
        ->default_str(plot_options.height);
    plot->add_option("--font-size", plot_options.font_size,
                     "text size in points, 4 to 72 (default 11 for SVG, 10 otherwise)");
    plot->add_option("--title", plot_options.title, "title above the chart (default: what is drawn)");
    plot->add_option("--script", plot_options.script, "also write the gnuplot script, data included, to this file");
    plot->add_option("--gnuplot", plot_options.gnuplot, "the gnuplot program")->default_str(plot_options.gnuplot);
    plot->add_option("--timeout", plot_options.timeout, "SECONDS gnuplot may take, 0.001 to 86400; then it is stopped")
        ->default_str(plot_options.timeout);
    plot->add_option("--line", plot_options.thresholds, "LIST of values to draw a reference line across at");
    plot->add_option("--mark-n", plot_options.marked_counts, "LIST of n to draw a reference line up at");
    plot->footer(PLOT_HELP_FOOTER);
    plot->fallthrough();

    if (const std::string mistyped = mistyped_subcommand(app, std::vector<std::string>(argv + 1, argv + argc));
        !mistyped.empty()) {
        fmt::print(std::cerr, "ljungcv: {} (see ljungcv --help)\n", mistyped);
        return EXIT_USAGE;
    }
    try {
        std::vector<std::string> words = quick_form_words(app, argc, argv);
        std::reverse(words.begin(), words.end());  // CLI11 takes them from the back
        app.parse(words);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, platform::output_stream(), std::cerr);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, platform::output_stream(), std::cerr);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, platform::output_stream(), std::cerr);
    } catch (const CLI::ParseError& e) {
        fmt::print(std::cerr, "ljungcv: {}\n", e.what());
        return EXIT_USAGE;
    }

    if (module_flag->count() > 0 && module_option.empty()) {
        fmt::print(std::cerr, "ljungcv: --module needs a file name\n");
        return EXIT_USAGE;
    }
    if (const std::vector<CLI::App*> chosen = app.get_subcommands(); !chosen.empty()) {
        const std::string unused = unused_arguments(quick_only);
        if (!unused.empty()) {
            fmt::print(std::cerr, "ljungcv {}: unexpected {}\n", chosen.front()->get_name(), unused);
            return EXIT_USAGE;
        }
    }

    try {
        const std::filesystem::path module =
            module_option.empty() ? core::module_beside_program(argv[0]) : std::filesystem::path(module_option);
        if (info->parsed()) {
            return run_info(module, platform::output_stream(), std::cerr);
        }
        if (table->parsed()) {
            return run_table(module, table_options, std::cerr);
        }
        if (limits->parsed()) {
            return run_limits(module, limits_options, std::cerr);
        }
        if (reach->parsed()) {
            return run_reach(module, reach_options, std::cerr);
        }
        if (outliers->parsed()) {
            return run_outliers(module, outliers_options, std::cerr);
        }
        if (eval->parsed()) {
            return run_eval(module, eval_options, std::cerr);
        }
        if (plot->parsed()) {
            return run_plot(module, plot_options, std::cerr);
        }
        if (!quick.n.empty() && quick.alpha.empty() && !written_as_number(quick.n)) {
            fmt::print(std::cerr, "ljungcv: '{}' is neither a subcommand ({}) nor a number N (see ljungcv --help)\n",
                       quick.n, fmt::join(subcommand_names(app), ", "));
            return EXIT_USAGE;
        }
        if (quick.n.empty() || quick.alpha.empty()) {
            fmt::print(std::cerr, "ljungcv: give N and ALPHA, or a subcommand (see ljungcv --help)\n");
            return EXIT_USAGE;
        }
        return run_quick(module, quick, platform::output_stream(), std::cerr);
    } catch (const core::LoadError& e) {
        fmt::print(std::cerr, "ljungcv: {}\n", e.what());
        return EXIT_LOAD;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    platform::guard_standard_streams(ljungcv::EXIT_BAD_INPUT);
    platform::escape_messages(std::cerr);
    // The last resort reports with stdio, which cannot throw again.
    try {
        const int code = run(argc, argv);
        platform::finish_output();  // a command succeeds only when all its output was written
        return code;
    } catch (const platform::OutputError& e) {
        std::fprintf(stderr, "ljungcv: %s\n", platform::escape_controls(e.what()).c_str());
        return ljungcv::EXIT_BAD_INPUT;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ljungcv: %s\n", platform::escape_controls(e.what()).c_str());
    } catch (...) {
        std::fprintf(stderr, "ljungcv: unexpected failure\n");
    }
    return ljungcv::EXIT_BAD_INPUT;
}
