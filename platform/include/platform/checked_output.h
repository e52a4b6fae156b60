// Standard output with every write checked. A command's output counts only
// when all of it reached its destination, so any failed write (a full disk,
// a closed pipe, a closed descriptor) ends the command: the write throws
// OutputError, which the command line turns into exit 5 and one message.
#ifndef PLATFORM_CHECKED_OUTPUT_H
#define PLATFORM_CHECKED_OUTPUT_H

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/standard_streams.h"

namespace platform {

class OutputError : public std::runtime_error {
public:
    explicit OutputError(int error_number);  // what(): "cannot write the output: <reason>"
};

// Call first in main: a standard stream that was closed is opened on the
// null device, so that no file the command opens later takes its place (and
// receives what was meant for it); standard output remembers that it was
// closed, and writing to it fails. Says which streams were closed.
ClosedStreams guard_standard_streams(int failure_exit);

// Whether standard input was closed when the command started (it then
// reads as empty, which is not what a closed input means).
bool input_closed();

// Writes bytes to standard output; throws OutputError when they cannot be.
void write_output(std::string_view bytes);

// A stream over write_output: a failed write throws OutputError out of the
// printing call.
std::ostream& output_stream();

// Flushes and closes standard output, the last step of every command that
// printed something; throws OutputError when anything was lost.
void finish_output();

}  // namespace platform

#endif
