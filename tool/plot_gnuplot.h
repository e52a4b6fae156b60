// Running gnuplot on a script: the one place that starts another program.
#ifndef LJUNGCV_PLOT_GNUPLOT_H
#define LJUNGCV_PLOT_GNUPLOT_H

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "plot_script.h"

namespace ljungcv {

struct GnuplotRun {
    enum Outcome { done, not_started, failed, timed_out, interrupted } outcome;
    std::string message;  // what went wrong, unless done
};

// While it lives, SIGINT, SIGTERM and SIGHUP only note that they came, so
// that a run can stop gnuplot and remove its files first; reraise() then
// ends the process by the signal, as it would have been ended.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static int caught();  // the signal that came, or 0
    void reraise();
};

// Runs `program` (found on PATH when it names no directory) with `script` as
// its input and waits for it, at most `limit`: then, or when an
// InterruptGuard catches a signal, gnuplot is stopped. Its output goes to
// standard error, with its messages.
GnuplotRun run_gnuplot(const std::string& program, std::string_view script, std::chrono::milliseconds limit);

// Whether the file holds a whole picture of the format: gnuplot does not
// report a failed write, so a full disk shows only as a picture cut short.
bool is_complete_picture(const std::filesystem::path& file, PictureFormat format);

}  // namespace ljungcv

#endif
