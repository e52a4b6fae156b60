// A line chart of critical values as a gnuplot script: the data inline, the
// terminal and output file chosen from the picture's format.
//
// A curve is a list of runs, each a stretch of consecutive counts that have
// a value; the script separates runs by a blank line, which gnuplot draws
// as a gap, so a count without a value never becomes a point. A run of one
// point is drawn as a dot, since a line through one point shows nothing.
//
// Levels differ in colour and in the point type marked along their curves,
// so that a greyscale print still tells them apart; methods differ in dash
// (corrected solid, asymptotic dashed). Where a value is outside its curve's
// sensible range the curve goes on as a thin dotted line: each data line
// carries two flags, whether the point belongs to the normal line and
// whether to the dotted one (a boundary point to both, so neither has a gap).
//
// Reference lines, in grey and dash-dotted, each with its legend entry: one
// across the chart at a threshold (drawn as data, so that the value axis
// takes it in) and one up the chart at a count. Only numbers reach the
// script for them.
#ifndef LJUNGCV_PLOT_SCRIPT_H
#define LJUNGCV_PLOT_SCRIPT_H

#include <string>
#include <string_view>
#include <vector>

namespace ljungcv {

enum class PictureFormat { svg, png, pdf };

struct PlotPoint {
    double n;
    double value;
    bool out = false;  // outside the curve's sensible range
};

struct PlotCurve {
    std::string label;  // names the data in the script
    std::string title;  // legend entry; none when empty
    std::size_t colour;  // index into the palette and the point types, one per level
    bool dashed;  // the asymptotic method
    std::vector<std::vector<PlotPoint>> runs;
};

// A legend entry without data: a line style and what it stands for.
struct PlotKeyLine {
    std::string title;
    bool dashed;
};

struct PlotChart {
    std::string title;
    bool log_n;
    double first_n;  // the n axis' range
    double last_n;
    std::vector<PlotCurve> curves;  // curves without any run are left out
    std::vector<PlotKeyLine> key_lines;  // legend entries of their own, in black
    std::vector<PlotPoint> marks;  // drawn as rings, one legend entry
    std::string marks_label;  // names them in the script
    std::string marks_title;  // their legend entry
    std::string out_title;  // legend entry of the dotted stretches, when any
    std::vector<double> thresholds;  // reference lines across the chart at these values
    std::vector<double> marked_counts;  // reference lines up the chart at these n
};

struct PlotTarget {
    PictureFormat format;
    std::string path;  // empty: gnuplot's standard output
    int width;  // pixels; a PDF page gets the same shape at 96 pixels an inch
    int height;
    int font_size;  // points; 0 for the format's default
};

// The script that draws `chart` into `target`. `header` becomes its first
// comment line.
std::string gnuplot_script(const PlotChart& chart, const PlotTarget& target, const std::string& header);

// `text` as a gnuplot string expression (a text with a control character,
// core/user_text.h, cannot be one, since a line break would end the string
// and what follows would run as gnuplot commands): single-quoted strings, in which
// backquotes, @ and backslashes are plain characters, with each quote mark
// joined in as a string of its own.
// Every text a user gives reaches the script through here. Throws
// std::invalid_argument when the text has a control character: users'
// texts are checked for them when the command line is read.
std::string gnuplot_quote(std::string_view text);

}  // namespace ljungcv

#endif
