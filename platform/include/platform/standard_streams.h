// Standard streams a program may be started without.
#ifndef PLATFORM_STANDARD_STREAMS_H
#define PLATFORM_STANDARD_STREAMS_H

namespace platform {

struct ClosedStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Call first in main: each standard stream that was closed is opened on the
// null device, so that no file opened later takes its descriptor (and
// receives what was meant for the stream). Says which were closed. Ends the
// process with `failure_exit` when one cannot be opened.
ClosedStreams reopen_closed_standard_streams(int failure_exit);

}  // namespace platform

#endif
