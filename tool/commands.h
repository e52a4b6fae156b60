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

// ljungcv table
struct TableOptions {
    std::string n_list = "1,2,3,5,10,20,50,100,150,200,500,1000,10000";
    std::string alpha_list = "0.05,0.01,0.1";
    std::string method = "C";  // C, L or both
    std::string format = "text";  // text, csv or json
    int digits = 9;
};
int run_table(const std::filesystem::path& module, const TableOptions& options, std::ostream& out,
              std::ostream& err);

// ljungcv eval [FILE]: reads FILE, or standard input when FILE is empty or
// "-", and writes CSV to standard output.
int run_eval(const std::filesystem::path& module, const std::string& file, std::ostream& err);

// ljungcv info
int run_info(const std::filesystem::path& module, std::ostream& out, std::ostream& err);

}  // namespace ljungcv

#endif
