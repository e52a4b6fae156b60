// ljungcv plot: the critical-value curves as a picture (SVG, PNG or PDF),
// drawn by gnuplot from values computed through the module.
#ifndef LJUNGCV_PLOT_COMMAND_H
#define LJUNGCV_PLOT_COMMAND_H

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace ljungcv {

struct PlotOptions {
    std::string output;  // the picture; its extension gives the format
    std::string n_range = "1:10000";  // RANGE FIRST:LAST, or a LIST of counts
    std::string alpha_list = "0.01,0.05,0.1";
    std::string method = "both";  // C, L or both
    bool linear = false;  // linear n axis instead of logarithmic
    // Numbers as typed; run_plot checks them.
    std::string width = "800";  // pixels
    std::string height = "500";
    std::optional<std::string> font_size;  // points; the format's default when not given
    std::string title;  // empty: says what is drawn
    std::string script;  // also write the gnuplot script here, when given
    std::string gnuplot = "gnuplot";
    std::string timeout = "60";  // seconds gnuplot may take before it is stopped
    std::string thresholds;  // --line: a LIST of values to draw a line across at
    std::string marked_counts;  // --mark-n: a LIST of counts to draw a line up at
};

int run_plot(const std::filesystem::path& module, const PlotOptions& options, std::ostream& err);

inline constexpr const char* PLOT_HELP_FOOTER =
    "\nRANGE FIRST:LAST plots whole numbers from FIRST to LAST: every one where the points\n"
    "are close, about a thousand across the axis elsewhere. Anything else is a LIST of\n"
    "exact counts (for example 1:20,50,100:1000:100). Counts are whole numbers from 1 on;\n"
    "the anchors of the corrected method (n = 1, 2, 100, 200) within the range are always\n"
    "computed and marked. A curve has a gap where the method gives no value (n = 1 with\n"
    "the asymptotic method), and is left out when it has none at all (alpha = 0).\n"
    "\nLevels differ in colour and in the marks along their curves, so a greyscale print\n"
    "tells them apart; the corrected method is solid, the asymptotic dashed. Where a\n"
    "value is outside its curve's sensible range (see ljungcv limits) the curve goes on\n"
    "as a thin dotted line, and the legend says so. Rings mark the fitted points of the\n"
    "corrected curve.\n"
    "\n--line draws a grey dash-dotted line across the chart at each value (a threshold\n"
    "of one's own, say; ljungcv reach gives the n where each curve reaches it), and\n"
    "--mark-n one up the chart at each n within the plotted counts, each with a legend\n"
    "entry.\n"
    "\nThe file name sets the format: .svg, .png or .pdf (a PDF page is WIDTH x HEIGHT at\n"
    "96 pixels an inch). Drawing needs gnuplot (Debian: gnuplot-nox); --script writes\n"
    "the gnuplot script too, with its data, for restyling the picture by hand.\n"
    "\nExamples:\n"
    "  ljungcv plot -o curves.svg\n"
    "  ljungcv plot --alpha 0.001,0.01,0.05,0.1 -o curves.png --width 1200 --height 750\n"
    "  ljungcv plot --n 1:300 --linear --method C -o small.pdf\n"
    "  ljungcv plot --alpha 0.001,0.05 -o column.pdf --width 480 --height 320 --font-size 8\n"
    "  ljungcv plot --alpha 0.05 -o threshold.svg --line 3.5 --mark-n 31\n";

}  // namespace ljungcv

#endif
