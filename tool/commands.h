// The subcommands of ljungcv. Each takes what its command line gave and
// returns the process's exit code; errors go to `err` in one line.
#ifndef LJUNGCV_COMMANDS_H
#define LJUNGCV_COMMANDS_H

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace ljungcv {

// ljungcv N ALPHA [METHOD]
struct QuickOptions {
    std::string n;
    std::string alpha;
    std::optional<std::string> method;
    int digits = 9;
    bool exact = false;
};
int run_quick(const std::filesystem::path& module, const QuickOptions& options, std::ostream& out,
              std::ostream& err);

// ljungcv info
int run_info(const std::filesystem::path& module, std::ostream& out, std::ostream& err);

}  // namespace ljungcv

#endif
