// The subcommands of ljungcv. Each takes what its command line gave and
// returns the process's exit code; errors go to `err` in one line.
#ifndef LJUNGCV_COMMANDS_H
#define LJUNGCV_COMMANDS_H

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/ljungcv.h"

namespace ljungcv {

// The command is a front-end of the core: its names are the command's own.
using namespace core;  // NOLINT(google-build-using-namespace)

// "C, CORR, CORRECT, CORRECTED, L, LJUNG (any case) or both"
inline std::string method_choices()
{
    return keywords_by_method() + " (any case) or both";
}

// Decimals of a rounded value: DEFAULT_DIGITS unless --digits gives 0 to
// MAX_DIGITS (17 decimals tell every double of the function's range apart).
inline constexpr int DEFAULT_DIGITS = 9;
inline constexpr int MAX_DIGITS = 17;
// --digits as typed, checked: DEFAULT_DIGITS when not given. Throws OptionError.
int checked_digits(const std::optional<std::string>& digits);

// ljungcv N ALPHA [METHOD]
struct QuickOptions {
    std::string n;
    std::string alpha;
    std::optional<std::string> method;
    std::optional<std::string> digits;  // as typed
    bool exact = false;
};
int run_quick(const std::filesystem::path& module, const QuickOptions& options, std::ostream& out,
              std::ostream& err);

// ljungcv table
struct TableOptions {
    std::string n_list = "1,2,3,5,10,20,50,100,150,200,500,1000,10000";
    std::string alpha_list = "0.05,0.01,0.1";
    std::string method = "C";  // a method name or both
    std::string format = "text";  // text, markdown, latex, csv or json
    std::optional<std::string> digits;  // decimals where values are rounded, as typed
    bool exact = false;  // shortest round-trip text instead
};
// Writes standard output through the checked writer.
int run_table(const std::filesystem::path& module, const TableOptions& options, std::ostream& err);

// ljungcv eval [FILE...]: reads each FILE in order, "-" or none for standard
// input, and writes CSV or JSON Lines.
struct EvalOptions {
    std::vector<std::string> files;
    std::optional<std::string> alpha;  // the level of lines that give only n
    std::optional<std::string> method;  // the method of lines that give none
    std::string format = "csv";  // csv or json
};
int run_eval(const std::filesystem::path& module, const EvalOptions& options, std::ostream& err);

// ljungcv limits: where each curve is a sensible critical value.
struct LimitsOptions {
    std::string alpha_list = "0.1,0.05,0.025,0.01,0.005,0.001,0.0001,1e-6";
    std::string method = "both";
};
inline constexpr std::size_t MAX_LIMITS_LEVELS = 100;
int run_limits(const std::filesystem::path& module, const LimitsOptions& options, std::ostream& err);

// ljungcv reach THRESHOLD: the count n at which each curve, rising where
// it holds, first reaches each threshold.
struct ReachOptions {
    std::string thresholds;  // a LIST
    std::string alpha_list = "0.1,0.05,0.01,0.001";
    std::string method = "both";
    std::string format = "text";  // text, csv or json
};
// Most look-ups one command makes (thresholds x levels x methods).
inline constexpr std::size_t MAX_REACH_ROWS = 1000;
int run_reach(const std::filesystem::path& module, const ReachOptions& options, std::ostream& err);

// ljungcv outliers [FILE]: the outlier procedure on one series. Every
// option left unset takes the core's default.
struct OutliersOptions {
    std::optional<std::string> file;        // none or "-": standard input
    std::optional<std::string> order;       // p,d,q or auto; unset: auto, or 0,0,0 beside --seasonal
    std::optional<std::string> seasonal;    // P,D,Q,period
    std::optional<std::string> period;      // the season of an identified model; unset: none
    std::optional<std::string> alpha;
    std::optional<std::string> method;
    std::optional<std::string> types;       // AO,LS,TC
    std::optional<std::string> delta;
    std::optional<std::string> critical_value;
    std::optional<std::string> resamples;   // a critical value calibrated by resampling
    std::optional<std::string> seed;        // the draws' seed
    std::string format = "text";            // text, csv or json
    std::optional<std::string> by;          // the id column of a long file of many series
    std::optional<std::string> workers;     // threads for --by; unset: one per core
};
// Series --by reads and runs at a time: enough to keep every worker busy,
// few enough that a chunk's memory stays small.
inline constexpr std::size_t OUTLIERS_BY_CHUNK_SERIES = 256;
int run_outliers(const std::filesystem::path& module, const OutliersOptions& options, std::ostream& err);

// ljungcv info
int run_info(const std::filesystem::path& module, std::ostream& out, std::ostream& err);

}  // namespace ljungcv

#endif
