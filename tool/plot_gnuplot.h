// Running gnuplot on a script: the one place that starts another program.
#ifndef LJUNGCV_PLOT_GNUPLOT_H
#define LJUNGCV_PLOT_GNUPLOT_H

#include <string>
#include <string_view>

namespace ljungcv {

struct GnuplotRun {
    enum Outcome { done, not_started, failed } outcome;
    std::string message;  // what went wrong, unless done
};

// Runs `program` (found on PATH when it names no directory) with `script` as
// its input and waits for it. Its output goes to standard error, with its
// messages.
GnuplotRun run_gnuplot(const std::string& program, std::string_view script);

}  // namespace ljungcv

#endif
