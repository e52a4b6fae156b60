// Running gnuplot on a script: the one place that starts another program.
#ifndef LJUNGCV_PLOT_GNUPLOT_H
#define LJUNGCV_PLOT_GNUPLOT_H

#include <chrono>
#include <string>
#include <string_view>

#include "plot_script.h"

namespace ljungcv {

struct GnuplotRun {
    enum Outcome { done, not_started, failed, timed_out, interrupted } outcome;
    std::string message;  // what went wrong, unless done
};

// Runs `program` (found on PATH when it names no directory) with `script`
// as its input and the picture going to descriptor `picture`, which the
// script's bare `set output` sends it to: gnuplot opens no file by name.
// It reads no start-up file and gets only the environment that drawing
// needs. Waits at most `limit`; then, or when a platform::InterruptGuard
// catches a signal, gnuplot is stopped. Its messages go to standard error.
GnuplotRun run_gnuplot(const std::string& program, std::string_view script, int picture,
                       std::chrono::milliseconds limit);

// Whether `content` is a whole picture of the format: gnuplot does not
// report a failed write, so a full disk shows only as a picture cut short.
bool is_complete_picture(std::string_view content, PictureFormat format);

}  // namespace ljungcv

#endif
