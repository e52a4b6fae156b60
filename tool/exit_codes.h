// Exit codes of the ljungcv command, documented in --help and the README.
#ifndef LJUNGCV_EXIT_CODES_H
#define LJUNGCV_EXIT_CODES_H

namespace ljungcv {

inline constexpr int EXIT_VALUE = 0;             // a value was computed (every value, for eval)
inline constexpr int EXIT_NO_RESULT = 1;         // the method has no value for these arguments
inline constexpr int EXIT_INVALID_ARGUMENT = 2;  // the module rejected an argument
inline constexpr int EXIT_USAGE = 3;             // the command line is wrong
inline constexpr int EXIT_LOAD = 4;              // the module cannot be loaded or is not a module
inline constexpr int EXIT_BAD_INPUT = 5;         // eval: a line could not be read; plot: no picture; I/O or other run-time failure

// The exit codes as --help lists them; {lowest} and {highest} stand for the
// function's level range.
inline constexpr const char* EXIT_CODES_HELP =
    "Exit codes:\n"
    "  0  a value was computed (eval: every line was read)\n"
    "  1  no value exists for the arguments (for example n = 1 with method L)\n"
    "  2  an argument was rejected (n missing, alpha outside [{lowest}, {highest}], unknown method)\n"
    "  3  usage error on the command line\n"
    "  4  the module cannot be loaded or is not a function module (also a damaged file)\n"
    "  5  the output could not be written; eval: a line could not be read;\n"
    "     plot: the picture could not be made (also gnuplot stopped after --timeout);\n"
    "     input or another run-time failure\n";

}  // namespace ljungcv

#endif
