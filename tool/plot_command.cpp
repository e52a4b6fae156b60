// ljungcv plot: evaluates the curves through the module over the counts and
// levels asked for, cuts each curve into runs where it has values, and has
// gnuplot draw them.
#include "core/user_text.h"
#include "plot_command.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <ostream>
#include <system_error>
#include <utility>
#include <vector>

#include <fmt/ostream.h>
#include <fmt/ranges.h>

#include "exit_codes.h"
#include "commands.h"
#include "core/grid.h"
#include "number_list.h"
#include "option_checks.h"
#include "output_formats.h"
#include "core/numbers.h"
#include "core/function_facts.h"
#include "platform/child_process.h"
#include "platform/pending_file.h"
#include "plot_gnuplot.h"
#include "plot_script.h"

namespace ljungcv {

namespace {

// The counts where any method's curve is fixed, ascending, each once.
std::vector<double> every_anchor_count()
{
    std::vector<double> counts;
    for (const Method method : every_method()) {
        const std::vector<double> anchors = anchor_counts(method);
        counts.insert(counts.end(), anchors.begin(), anchors.end());
    }
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    return counts;
}

// Where the corrected curve is pinned: exact for one and two observations,
// equal to the asymptotic value at 100 and 200.

// About this many steps across the n axis when a RANGE is sampled: finer
// than the pixels of a picture of usual size.
constexpr double RANGE_STEPS = 1000.0;

// More points than any picture can show.
constexpr std::size_t MAX_PLOT_COUNTS = 100'000;
constexpr std::size_t MAX_PLOT_LEVELS = 12;

// How long gnuplot may take, in seconds: from a millisecond to a day.
constexpr double MIN_TIMEOUT = 0.001;
constexpr double MAX_TIMEOUT = 86400.0;
// The picture's size in pixels and its text in points.
constexpr int MIN_WIDTH = 200;
constexpr int MIN_HEIGHT = 150;
constexpr int MAX_SIDE = 10000;
constexpr int MIN_FONT_SIZE = 4;
constexpr int MAX_FONT_SIZE = 72;

// The options' numbers, checked.
struct Drawing {
    int width;
    int height;
    int font_size;  // 0 for the format's default
    double timeout;
};

// Throws OptionError.
Drawing checked_drawing(const PlotOptions& options)
{
    return {checked_whole_number("--width", options.width, MIN_WIDTH, MAX_SIDE, "pixels"),
            checked_whole_number("--height", options.height, MIN_HEIGHT, MAX_SIDE, "pixels"),
            options.font_size ? checked_whole_number("--font-size", *options.font_size, MIN_FONT_SIZE, MAX_FONT_SIZE,
                                                     "points")
                              : 0,
            checked_number_within("--timeout", options.timeout, MIN_TIMEOUT, MAX_TIMEOUT, "seconds")};
}

bool is_count(double n)
{
    return n >= 1.0 && n <= LARGEST_COUNT && n == std::floor(n);
}

// FIRST:LAST sampled: on a log axis every whole number while the ratio of
// neighbours is above the step ratio, then whole numbers that ratio apart;
// on a linear axis whole numbers an even step apart. LAST always ends it.
std::vector<double> sample_range(double first, double last, bool log_n)
{
    std::vector<double> counts;
    // The counts are whole numbers, so the loops count in integers.
    const auto start = static_cast<std::int64_t>(first);
    if (log_n) {
        const double ratio = std::pow(last / first, 1.0 / RANGE_STEPS);
        for (std::int64_t n = start; static_cast<double>(n) < last;
             n = std::max(n + 1, static_cast<std::int64_t>(std::round(static_cast<double>(n) * ratio)))) {
            counts.push_back(static_cast<double>(n));
        }
    } else {
        const auto step = static_cast<std::int64_t>(std::max(1.0, std::floor((last - first) / RANGE_STEPS)));
        for (std::int64_t n = start; static_cast<double>(n) < last; n += step) {
            counts.push_back(static_cast<double>(n));
        }
    }
    counts.push_back(last);
    return counts;
}

// The counts to evaluate, ascending, anchors within the range included.
// Throws ListError.
std::vector<double> plot_counts(const std::string& text, bool log_n)
{
    std::vector<double> counts;
    const std::size_t colon = text.find(':');
    const bool is_range = colon != std::string::npos && text.find(':', colon + 1) == std::string::npos &&
                          text.find(',') == std::string::npos;
    if (is_range) {
        std::string why;
        const std::optional<double> first = read_number(std::string_view(text).substr(0, colon), why);
        const std::optional<double> last = first ? read_number(std::string_view(text).substr(colon + 1), why)
                                                 : std::nullopt;
        if (!first || !last || !is_count(*first) || !is_count(*last) || !(*first < *last)) {
            throw ListError(fmt::format("range '{}' needs whole numbers FIRST < LAST from 1 to {}{}{}", text,
                                        format_shortest(LARGEST_COUNT), why.empty() ? "" : ": ", why));
        }
        counts = sample_range(*first, *last, log_n);
    } else {
        counts = parse_number_list(text).values();
        for (const double n : counts) {
            if (!is_count(n)) {
                throw ListError(fmt::format("n = {} is not a whole number from 1 to {}", format_shortest(n),
                                            format_shortest(LARGEST_COUNT)));
            }
        }
        std::sort(counts.begin(), counts.end());
        counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
        if (counts.size() < 2) {
            throw ListError("a plot needs at least two different n");
        }
        if (counts.size() > MAX_PLOT_COUNTS) {
            throw ListError(fmt::format("{} values of n are more than a plot can show ({} at most)", counts.size(),
                                        MAX_PLOT_COUNTS));
        }
    }
    const double first = counts.front();
    const double last = counts.back();
    for (const double anchor : every_anchor_count()) {
        if (anchor >= first && anchor <= last) {
            counts.push_back(anchor);
        }
    }
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    return counts;
}

// Levels in the order given, each once. Throws ListError. Stops at the
// first level past the limit, so that a long list costs no more than
// reading it.
std::vector<double> plot_levels(const std::string& text)
{
    std::vector<double> levels;
    for (const double alpha : parse_number_list(text).values()) {
        if (std::find(levels.begin(), levels.end(), alpha) == levels.end()) {
            if (levels.size() == MAX_PLOT_LEVELS) {
                throw ListError(fmt::format("more than {} levels are more curves than a plot can tell apart",
                                            MAX_PLOT_LEVELS));
            }
            levels.push_back(alpha);
        }
    }
    return levels;
}

// Most reference lines of each kind: a few are a reading aid, more hide the curves.
constexpr std::size_t MAX_REFERENCES = 6;

struct References {
    std::vector<double> thresholds;
    std::vector<double> counts;
};

// --line and --mark-n, each once per value. Throws OptionError.
References checked_references(const PlotOptions& options, double first_n, double last_n)
{
    References references;
    const auto values = [](const char* option, const std::string& text) {
        std::vector<double> list;
        if (!text.empty()) {
            for (const double value : checked_list(text).values()) {
                if (std::find(list.begin(), list.end(), value) == list.end()) {
                    list.push_back(value);
                }
            }
        }
        if (list.size() > MAX_REFERENCES) {
            throw OptionError(fmt::format("{} gives {} values; a plot takes {} at most", option, list.size(),
                                          MAX_REFERENCES));
        }
        return list;
    };
    references.thresholds = values("--line", options.thresholds);
    references.counts = values("--mark-n", options.marked_counts);
    for (const double n : references.counts) {
        if (!is_count(n) || n < first_n || n > last_n) {
            throw OptionError(fmt::format("--mark-n {} is not a whole number within the plotted n, {} to {}",
                                          format_shortest(n), format_count(first_n), format_count(last_n)));
        }
    }
    return references;
}

// The picture format from the file name's extension, ignoring case.
std::optional<PictureFormat> format_of(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::optional<OutputFormat> format =
        extension.empty() ? std::nullopt : format_named(std::string_view(extension).substr(1), FormatCommand::plot);
    switch (format.value_or(OutputFormat::text)) {
    case OutputFormat::svg:
        return PictureFormat::svg;
    case OutputFormat::png:
        return PictureFormat::png;
    case OutputFormat::pdf:
        return PictureFormat::pdf;
    default:
        return std::nullopt;
    }
}

// The stretches of consecutive counts where method m has a value at level a.
std::vector<std::vector<PlotPoint>> runs_of(const Grid& grid, std::size_t m, std::size_t a)
{
    std::vector<std::vector<PlotPoint>> runs;
    bool in_run = false;
    for (std::size_t i = 0; i < grid.counts.size(); ++i) {
        const GridCell& cell = grid.cell(m, i, a);
        if (cell.point.status != Status::ok) {
            in_run = false;
            continue;
        }
        if (!in_run) {
            runs.emplace_back();
            in_run = true;
        }
        runs.back().push_back({grid.counts[i], cell.point.value, cell.range != Range::holds});
    }
    return runs;
}

// Whether every cell of method m at level a has the status.
bool all_cells_have(const Grid& grid, std::size_t m, std::size_t a, Status status)
{
    for (std::size_t i = 0; i < grid.counts.size(); ++i) {
        if (grid.cell(m, i, a).point.status != status) {
            return false;
        }
    }
    return true;
}

std::string level_text(double alpha)
{
    return "α = " + format_shortest(alpha);
}

// The same for messages, which may meet a terminal that is not UTF-8.
std::string level_words(double alpha)
{
    return "alpha = " + format_shortest(alpha);
}

// "LJUNGCV critical values against n, both methods", or the one method's
// name; the legend says which line is which.
std::string default_title(const std::vector<Method>& methods)
{
    return "LJUNGCV critical values against n, " + (methods.size() > 1 ? "both methods" : method_title(methods.front()));
}

// One colour and point type per level; the corrected method solid, the
// asymptotic dashed.
// The legend names each level once and each method once.
PlotChart chart_of(const Grid& grid, const PlotOptions& options, std::ostream& err, bool& any_rejected)
{
    PlotChart chart{options.title.empty() ? default_title(grid.methods) : options.title,
                    !options.linear,
                    grid.counts.front(),
                    grid.counts.back(),
                    {},
                    {},
                    {},
                    {},
                    {},
                    {},
                    {},
                    {}};
    std::vector<std::string> anchors_shown;
    for (const double anchor : every_anchor_count()) {
        if (std::binary_search(grid.counts.begin(), grid.counts.end(), anchor)) {
            anchors_shown.push_back(format_shortest(anchor));
        }
    }
    chart.marks_label = fmt::format("anchors n = {}", fmt::join(anchors_shown, ", "));
    chart.marks_title = "fitted points";

    std::vector<bool> method_drawn(grid.methods.size(), false);
    for (std::size_t a = 0; a < grid.levels.size(); ++a) {
        bool level_named = false;
        for (std::size_t m = 0; m < grid.methods.size(); ++m) {
            const std::string name = method_long_name(grid.methods[m]);
            const bool dashed = grid.methods[m] != DEFAULT_METHOD;  // the default method drawn solid
            PlotCurve curve{fmt::format("{} ({}), {}", name, method_keyword(grid.methods[m]), level_words(grid.levels[a])),
                            level_named ? "" : level_text(grid.levels[a]), a, dashed, runs_of(grid, m, a)};
            if (curve.runs.empty()) {
                const bool rejected = all_cells_have(grid, m, a, Status::invalid_argument);
                any_rejected = any_rejected || rejected;
                fmt::print(err, "ljungcv plot: the {} method has no value at {}{}; left out\n", name,
                           level_words(grid.levels[a]), rejected ? " (the module rejects this level)" : "");
                continue;
            }
            const std::vector<double> anchors = anchor_counts(grid.methods[m]);
            for (std::size_t i = 0; i < grid.counts.size(); ++i) {
                const GridCell& cell = grid.cell(m, i, a);
                if (cell.point.status == Status::ok &&
                    std::find(anchors.begin(), anchors.end(), grid.counts[i]) != anchors.end()) {
                    chart.marks.push_back({grid.counts[i], cell.point.value});
                }
            }
            for (const auto& run : curve.runs) {
                if (std::any_of(run.begin(), run.end(), [](const PlotPoint& p) { return p.out; })) {
                    chart.out_title = "out of range (ljungcv limits)";
                }
            }
            chart.curves.push_back(std::move(curve));
            level_named = true;
            method_drawn[m] = true;
        }
    }
    for (std::size_t m = 0; m < grid.methods.size(); ++m) {
        if (method_drawn[m]) {
            chart.key_lines.push_back({fmt::format("{} ({})", method_long_name(grid.methods[m]), method_keyword(grid.methods[m])), grid.methods[m] != DEFAULT_METHOD});
        }
    }
    return chart;
}

// The first of the texts that would reach gnuplot with a control
// character in it, or the title if it is not UTF-8, as a message; empty
// when there is none.
std::string unusable_text_message(const PlotOptions& options)
{
    const std::pair<const char*, const std::string*> texts[] = {
        {"--title", &options.title}, {"--output", &options.output}, {"--script", &options.script}};
    for (const auto& [name, text] : texts) {
        const std::size_t at = control_character_in(*text);
        if (at != std::string_view::npos) {
            return fmt::format("{} has a control character (byte 0x{:02X} at offset {}), which a plot cannot take",
                               name, static_cast<unsigned char>((*text)[at]), at);
        }
    }
    // File names are the system's bytes; the title is drawn as UTF-8 text.
    if (const std::size_t at = invalid_utf8_in(options.title); at != std::string_view::npos) {
        return fmt::format("--title is not UTF-8 (byte 0x{:02X} at offset {}), which a picture cannot show",
                           static_cast<unsigned char>(options.title[at]), at);
    }
    return {};
}

// Writes the script and the picture, each under a temporary name, and
// gives both their files only when both are complete: a failed run leaves
// every file as it was (see platform::PendingFile for links, FIFOs and
// devices).
int draw(const PlotChart& chart, const PlotOptions& options, const Drawing& drawing, PictureFormat format,
         std::ostream& err)
{
    constexpr const char* HEADER = "LJUNGCV critical values, written by ljungcv plot; draw with: gnuplot FILE";
    std::optional<platform::PendingFile> script_file;
    try {
        if (!options.script.empty()) {
            script_file.emplace(options.script);
            script_file->write(gnuplot_script(
                chart, {format, options.output, drawing.width, drawing.height, drawing.font_size}, HEADER));
        }
    } catch (const std::system_error& e) {
        fmt::print(err, "ljungcv plot: cannot write the script '{}': {}\n", options.script, e.code().message());
        return EXIT_BAD_INPUT;
    }
    try {
        platform::PendingFile picture(options.output);
        const PlotTarget target{format, {}, drawing.width, drawing.height, drawing.font_size};
        const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(drawing.timeout * 1000.0)));
        const GnuplotRun run =
            run_gnuplot(options.gnuplot, gnuplot_script(chart, target, HEADER), picture.descriptor(), limit);
        if (run.outcome == GnuplotRun::interrupted) {
            return EXIT_BAD_INPUT;  // the caller ends the process by the signal
        }
        if (run.outcome != GnuplotRun::done) {
            fmt::print(err, "ljungcv plot: {}{}\n", run.message,
                       run.outcome == GnuplotRun::not_started
                           ? "; drawing needs gnuplot (Debian: gnuplot-nox), or name it with --gnuplot"
                           : "; no picture written");
            return EXIT_BAD_INPUT;
        }
        if (!is_complete_picture(picture.content(), format)) {
            fmt::print(err, "ljungcv plot: cannot write '{}': the picture came out incomplete (is the disk full?); "
                            "no picture written\n",
                       options.output);
            return EXIT_BAD_INPUT;
        }
        if (script_file) {
            platform::commit_all({&*script_file, &picture});
        } else {
            picture.commit();
        }
    } catch (const std::system_error& e) {
        fmt::print(err, "ljungcv plot: {}\n", e.what());
        return EXIT_BAD_INPUT;
    }
    return EXIT_VALUE;
}

}  // namespace

int run_plot(const std::filesystem::path& module, const PlotOptions& options, std::ostream& err)
{
    if (const std::string message = unusable_text_message(options); !message.empty()) {
        fmt::print(err, "ljungcv plot: {}\n", message);
        return EXIT_USAGE;
    }
    std::optional<Drawing> drawing;
    try {
        drawing = checked_drawing(options);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv plot: {}\n", e.what());
        return EXIT_USAGE;
    }
    if (!options.script.empty() && platform::same_file(options.output, options.script)) {
        fmt::print(err, "ljungcv plot: --output and --script name the same file '{}'; give each its own\n",
                   options.script);
        return EXIT_USAGE;
    }
    const std::optional<PictureFormat> format = format_of(options.output);
    if (!format) {
        fmt::print(err, "ljungcv plot: cannot tell the format of '{}': give a file name ending in {}\n", options.output,
                   format_names(FormatCommand::plot, "."));
        return EXIT_USAGE;
    }
    std::optional<std::vector<Method>> methods;
    try {
        methods = checked_methods(options.method);
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv plot: {}\n", e.what());
        return EXIT_USAGE;
    }
    std::vector<double> counts;
    std::vector<double> levels;
    References references;
    try {
        counts = plot_counts(options.n_range, !options.linear);
        levels = plot_levels(options.alpha_list);
        references = checked_references(options, counts.front(), counts.back());
    } catch (const ListError& e) {
        fmt::print(err, "ljungcv plot: {}\n", e.what());
        return EXIT_USAGE;
    } catch (const OptionError& e) {
        fmt::print(err, "ljungcv plot: {}\n", e.what());
        return EXIT_USAGE;
    }

    ModuleSession session(module);
    const Grid grid = evaluate_grid(session, *methods, counts, levels);
    bool any_rejected = false;
    PlotChart chart = chart_of(grid, options, err, any_rejected);
    chart.thresholds = references.thresholds;
    chart.marked_counts = references.counts;
    if (chart.curves.empty()) {
        fmt::print(err, "ljungcv plot: no curve has a value to draw\n");
        return any_rejected ? EXIT_INVALID_ARGUMENT : EXIT_NO_RESULT;
    }

    // An interrupt from here on stops gnuplot and removes the temporary
    // files before it ends the process.
    platform::InterruptGuard interrupts;
    const int code = draw(chart, options, *drawing, *format, err);
    interrupts.reraise();
    return code;
}

}  // namespace ljungcv
