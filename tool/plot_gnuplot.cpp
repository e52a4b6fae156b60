#include "plot_gnuplot.h"

#include <cstring>

#include <fmt/format.h>

#include "platform/child_process.h"

namespace ljungcv {

namespace {

// What gnuplot and the libraries it draws with may see of the environment:
// where programs are, the locale and the time zone. Its own variables
// (GNUPLOT_LIB, GNUTERM, fonts' paths) and HOME, which leads to start-up
// files, stay out.
const std::vector<std::string> KEPT_VARIABLES{"PATH", "LANG", "LC_ALL", "LC_CTYPE", "TZ", "TMPDIR"};

}  // namespace

GnuplotRun run_gnuplot(const std::string& program, std::string_view script, int picture,
                       std::chrono::milliseconds limit)
{
    // -d: no gnuplotrc and no ~/.gnuplot.
    const platform::ProgramRequest request{program, {"-d"}, script, picture, KEPT_VARIABLES, limit};
    const platform::ProgramRun run = platform::run_program(request);
    switch (run.outcome) {
    case platform::ProgramRun::done:
        return {GnuplotRun::done, {}};
    case platform::ProgramRun::not_started:
        return {GnuplotRun::not_started, fmt::format("cannot run '{}': {}", program, std::strerror(run.code))};
    case platform::ProgramRun::exited:
        return {GnuplotRun::failed, fmt::format("'{}' failed with exit status {}", program, run.code)};
    case platform::ProgramRun::killed:
        return {GnuplotRun::failed, fmt::format("'{}' was ended by signal {}", program, run.code)};
    case platform::ProgramRun::input_refused:
        return {GnuplotRun::failed, fmt::format("'{}' stopped reading the script", program)};
    case platform::ProgramRun::timed_out:
        return {GnuplotRun::timed_out, fmt::format("'{}' did not finish within {} s; stopped it", program,
                                                   static_cast<double>(limit.count()) / 1000.0)};
    case platform::ProgramRun::interrupted:
        return {GnuplotRun::interrupted, fmt::format("interrupted by signal {}", run.code)};
    case platform::ProgramRun::lost:
        break;
    }
    return {GnuplotRun::failed, fmt::format("lost '{}': {}", program, std::strerror(run.code))};
}

bool is_complete_picture(std::string_view content, PictureFormat format)
{
    const auto starts = [&](std::string_view prefix) { return content.substr(0, prefix.size()) == prefix; };
    const auto ends = [&](std::string_view suffix) {
        std::string_view trimmed = content;
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r' || trimmed.back() == ' ')) {
            trimmed.remove_suffix(1);
        }
        return trimmed.size() >= suffix.size() && trimmed.substr(trimmed.size() - suffix.size()) == suffix;
    };
    switch (format) {
    case PictureFormat::svg:
        return ends("</svg>");
    case PictureFormat::pdf:
        return starts("%PDF-") && ends("%%EOF");
    case PictureFormat::png: {
        // The signature, and last the empty IEND chunk with its checksum.
        static constexpr char signature[] = "\x89PNG\r\n\x1a\n";
        static constexpr char iend[] = "\0\0\0\0IEND\xae\x42\x60\x82";
        const std::string_view last(iend, sizeof iend - 1);
        return starts(std::string_view(signature, sizeof signature - 1)) && content.size() >= last.size() &&
               content.substr(content.size() - last.size()) == last;
    }
    }
    return false;
}

}  // namespace ljungcv
