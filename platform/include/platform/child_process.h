// Starting another program and waiting for it, with a time limit, and
// holding off the signals that would end this process meanwhile.
#ifndef PLATFORM_CHILD_PROCESS_H
#define PLATFORM_CHILD_PROCESS_H

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// While it lives, SIGINT, SIGTERM and SIGHUP (where there is one) only note
// that they came, so that a run can stop its program and remove its files
// first; reraise() then ends the process by the signal, as it would have
// been ended. A signal ignored when the guard was made stays ignored.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static int caught();  // the signal that came, or 0
    void reraise();
};

struct ProgramRequest {
    std::string program;  // looked up on PATH when it names no directory
    std::vector<std::string> arguments;  // after the program's name
    std::string_view input;  // all of the program's standard input
    int output = -1;  // descriptor for its standard output; -1: this process's standard error
    // The variables the program gets from this process's environment, by
    // name; no other reaches it. (Windows: the whole environment.)
    std::vector<std::string> kept_variables;
    std::chrono::milliseconds limit{60'000};
};

struct ProgramRun {
    enum Outcome {
        done,          // exit status 0, all input read
        not_started,   // code: the error number
        exited,        // code: the nonzero exit status
        killed,        // code: the signal that ended it
        input_refused, // exit status 0 but it stopped reading its input
        timed_out,     // stopped at the limit
        interrupted,   // code: the signal an InterruptGuard caught; the program was stopped
        lost,          // code: the error number of waiting for it
    } outcome;
    int code;
};

// Runs the program in a process group of its own with the signals at their
// defaults, feeds it its input without blocking, and waits at most the
// limit; then, or when an InterruptGuard catches a signal, the program and
// all it started are stopped.
ProgramRun run_program(const ProgramRequest& request);

}  // namespace platform

#endif
