#include "core/user_text.h"
#include "plot_script.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <stdexcept>

#include <fmt/format.h>

#include "core/numbers.h"

namespace ljungcv {

using core::control_character_in;
using core::format_shortest;

namespace {

// Colours that stay apart for the common kinds of colour blindness
// (Okabe and Ito's palette, less its yellow, which is faint on white).
constexpr std::array<const char*, 6> PALETTE{"#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9"};
// Filled square, circle, triangle up, diamond, triangle down, pentagon: told
// apart in black and white, and none is the anchors' ring.
constexpr std::array<int, 6> POINT_TYPES{5, 7, 9, 13, 11, 15};
// About this many marks along each curve.
constexpr int MARKS_PER_CURVE = 8;
constexpr const char* MARK_COLOUR = "#000000";
constexpr const char* KEY_COLOUR = "#000000";
constexpr const char* GRID_COLOUR = "#c8c8c8";
constexpr const char* MINOR_GRID_COLOUR = "#ececec";
constexpr const char* REFERENCE_COLOUR = "#444444";

constexpr double POINT_SIZE = 0.7;
// Pixels from which the legend goes beside the chart rather than below it.
constexpr int WIDE_PICTURE = 640;
// Pixels from which a legend below the chart has two columns.
constexpr int TWO_KEY_COLUMNS = 440;

// Pixels per inch when a PDF page is sized from --width and --height.
constexpr double PDF_PIXELS_PER_INCH = 96.0;

void append_terminal(std::string& script, const PlotTarget& target)
{
    // SVG's font is in pixels at 96 an inch, cairo's in points.
    switch (target.format) {
    case PictureFormat::svg:
        fmt::format_to(std::back_inserter(script),
                       "set terminal svg size {},{} fixed noenhanced font 'sans,{}' background '#ffffff'\n",
                       target.width, target.height, target.font_size > 0 ? target.font_size : 11);
        break;
    case PictureFormat::png:
        fmt::format_to(std::back_inserter(script),
                       "set terminal pngcairo size {},{} noenhanced font 'sans,{}' background '#ffffff'\n",
                       target.width, target.height, target.font_size > 0 ? target.font_size : 10);
        break;
    case PictureFormat::pdf:
        fmt::format_to(std::back_inserter(script), "set terminal pdfcairo size {}in,{}in noenhanced font 'sans,{}'\n",
                       target.width / PDF_PIXELS_PER_INCH, target.height / PDF_PIXELS_PER_INCH,
                       target.font_size > 0 ? target.font_size : 10);
        break;
    }
    // No name: standard output, which the caller has made the picture's file.
    script += target.path.empty() ? std::string("set output\n") : "set output " + gnuplot_quote(target.path) + "\n";
}

// "n value normal dotted": the flags say which line the point belongs to.
void append_points(std::string& script, const std::vector<PlotPoint>& points)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool next_out = i + 1 < points.size() && points[i + 1].out;
        const bool previous_out = i > 0 && points[i - 1].out;
        const bool dotted = points[i].out || next_out || previous_out;
        fmt::format_to(std::back_inserter(script), "{} {} {} {}\n", format_shortest(points[i].n),
                       format_shortest(points[i].value), points[i].out ? 0 : 1, dotted ? 1 : 0);
    }
}

// $name << EOD ... EOD, with the runs separated by blank lines.
void append_block(std::string& script, const std::string& name, const std::string& comment,
                  const std::vector<std::vector<PlotPoint>>& runs)
{
    script += name + " << EOD\n# " + comment + "\n";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (r > 0) {
            script += "\n";
        }
        append_points(script, runs[r]);
    }
    script += "EOD\n";
}

}  // namespace

std::string gnuplot_quote(std::string_view text)
{
    if (control_character_in(text) != std::string_view::npos) {
        throw std::invalid_argument("a control character cannot go into a gnuplot script");
    }
    if (text.find('\'') == std::string_view::npos) {
        return "'" + std::string(text) + "'";
    }
    // gnuplot reads a doubled quote mark at the start of a string as an
    // empty string, so quote marks are not doubled: each becomes a string of
    // its own, "'" (nothing is special in it), joined to the rest with
    // gnuplot's string concatenation.
    std::string joined = "(";
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t quote = std::min(text.find('\'', start), text.size());
        if (quote > start) {
            joined += (joined.size() > 1 ? " . '" : "'") + std::string(text.substr(start, quote - start)) + "'";
        }
        if (quote < text.size()) {
            joined += joined.size() > 1 ? " . \"'\"" : "\"'\"";
        }
        start = quote + 1;
    }
    return joined + ")";
}

std::string gnuplot_script(const PlotChart& chart, const PlotTarget& target, const std::string& header)
{
    std::string script = "# " + header + "\n";
    script += "set encoding utf8\n";
    append_terminal(script, target);
    script += "set title " + gnuplot_quote(chart.title) + "\n";
    script += "set xlabel 'n (number of observations)'\n";
    script += "set ylabel 'critical value'\n";
    if (chart.log_n) {
        script += "set logscale x 10\nset mxtics 10\n";
    } else {
        script += "set mxtics\n";
    }
    // Counts in digits throughout (100000 beside 1000000, never 1e+06).
    script += "set format x '%.0f'\n";
    fmt::format_to(std::back_inserter(script), "set xrange [{}:{}]\n", format_shortest(chart.first_n),
                   format_shortest(chart.last_n));
    script += "set autoscale y\nset offsets 0, 0, graph 0.04, graph 0.04\n";
    fmt::format_to(std::back_inserter(script), "set grid xtics ytics mxtics lt 1 lw 1 lc rgb '{}', lt 1 lw 1 lc rgb '{}'\n",
                   GRID_COLOUR, MINOR_GRID_COLOUR);
    // Beside the chart where there is room, below it in a narrow picture
    // (a journal column), so that the chart keeps its width.
    if (target.width >= WIDE_PICTURE) {
        script += "set key outside right top vertical Left reverse samplen 3 box\n";
    } else {
        // gnuplot leaves the legend's rows no room of their own below the
        // axis label: the bottom margin makes it, in lines of text.
        std::size_t entries = chart.key_lines.size() + (chart.marks.empty() ? 0 : 1) + (chart.out_title.empty() ? 0 : 1) +
                              chart.thresholds.size() + chart.marked_counts.size();
        for (const PlotCurve& curve : chart.curves) {
            entries += curve.title.empty() ? 0 : 1;
        }
        const std::size_t rows = target.width >= TWO_KEY_COLUMNS ? (entries + 1) / 2 : entries;
        fmt::format_to(std::back_inserter(script),
                       "set key at screen 0.5, screen 0.01 center bottom vertical Left reverse samplen 2 box "
                       "maxrows {}\nset bmargin {}\n",
                       rows, rows + 4);
    }

    for (const double n : chart.marked_counts) {
        fmt::format_to(std::back_inserter(script),
                       "set arrow from first {0}, graph 0 to first {0}, graph 1 nohead back lw 1.5 dt 4 lc rgb '{1}'\n",
                       format_shortest(n), REFERENCE_COLOUR);
    }

    // Data, then one plot command over all of it.
    std::vector<std::string> elements;
    for (std::size_t c = 0; c < chart.curves.size(); ++c) {
        const PlotCurve& curve = chart.curves[c];
        std::vector<std::vector<PlotPoint>> lines;
        std::vector<PlotPoint> dots;
        for (const auto& run : curve.runs) {
            if (run.size() == 1) {
                dots.push_back(run.front());
            } else if (!run.empty()) {
                lines.push_back(run);
            }
        }
        const char* colour = PALETTE[curve.colour % PALETTE.size()];
        const std::string style = fmt::format("lc rgb '{}'", colour);
        const int point_type = POINT_TYPES[curve.colour % POINT_TYPES.size()];
        const std::string name = fmt::format("$curve{}", c + 1);
        std::string title = curve.title.empty() ? "notitle" : "title " + gnuplot_quote(curve.title);
        if (!lines.empty()) {
            std::size_t points = 0;
            bool any_out = false;
            for (const auto& line : lines) {
                points += line.size();
                any_out = any_out || std::any_of(line.begin(), line.end(), [](const PlotPoint& p) { return p.out; });
            }
            append_block(script, name, curve.label, lines);
            // A negative interval clears the line around each mark.
            const std::size_t interval = std::max<std::size_t>(1, points / MARKS_PER_CURVE);
            elements.push_back(fmt::format("{} using 1:($3 > 0 ? $2 : NaN) with linespoints lw 2 dt {} pt {} pi -{} ps {} {} {}",
                                           name, curve.dashed ? 2 : 1, point_type, interval, POINT_SIZE, style, title));
            if (any_out) {
                elements.push_back(
                    fmt::format("{} using 1:($4 > 0 ? $2 : NaN) with lines lw 1.5 dt '. ' {} notitle", name, style));
            }
            title = "notitle";
        }
        if (!dots.empty()) {
            append_block(script, name + "_dots", curve.label + ", single points", {dots});
            elements.push_back(fmt::format("{}_dots using 1:2 with points pt {} ps {} {} {}", name, point_type,
                                           POINT_SIZE, style, title));
        }
    }
    for (const PlotKeyLine& line : chart.key_lines) {
        elements.push_back(fmt::format("keyentry with lines lw 2 dt {} lc rgb '{}' title {}", line.dashed ? 2 : 1,
                                       KEY_COLOUR, gnuplot_quote(line.title)));
    }
    if (!chart.out_title.empty()) {
        elements.push_back(fmt::format("keyentry with lines lw 1.5 dt '. ' lc rgb '{}' title {}", KEY_COLOUR,
                                       gnuplot_quote(chart.out_title)));
    }
    for (std::size_t t = 0; t < chart.thresholds.size(); ++t) {
        const double value = chart.thresholds[t];
        const std::string name = fmt::format("$threshold{}", t + 1);
        append_block(script, name, "a reference line at " + format_shortest(value),
                     {{{chart.first_n, value}, {chart.last_n, value}}});
        elements.push_back(fmt::format("{} using 1:2 with lines lw 1.5 dt 4 lc rgb '{}' title {}", name,
                                       REFERENCE_COLOUR, gnuplot_quote("threshold " + format_shortest(value))));
    }
    for (const double n : chart.marked_counts) {
        elements.push_back(fmt::format("keyentry with lines lw 1.5 dt 4 lc rgb '{}' title {}", REFERENCE_COLOUR,
                                       gnuplot_quote("n = " + format_shortest(n))));
    }
    if (!chart.marks.empty()) {
        append_block(script, "$marks", chart.marks_label, {chart.marks});
        // Point sizes are relative to the terminal's font: SVG draws them larger.
        const double size = target.format == PictureFormat::svg ? 1.0 : 1.3;
        elements.push_back(fmt::format("$marks using 1:2 with points pt 6 ps {} lw 2 lc rgb '{}' title {}", size, MARK_COLOUR,
                                       gnuplot_quote(chart.marks_title)));
    }

    script += "plot ";
    for (std::size_t e = 0; e < elements.size(); ++e) {
        script += elements[e];
        script += e + 1 < elements.size() ? ", \\\n     " : "\n";
    }
    script += "unset output\n";
    return script;
}

}  // namespace ljungcv
