#include "platform/standard_streams.h"

#include <cerrno>
#include <cstdlib>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#if defined(_WIN32)
// A program without a console has no valid standard handles, and asking
// the C runtime about a descriptor it does not know calls its invalid
// parameter handler: the streams are left as they are.
bool is_closed(int)
{
    return false;
}

int open_null(int)
{
    return -1;
}
#else
constexpr const char* NULL_DEVICE = "/dev/null";

bool is_closed(int fd)
{
    return fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

int open_null(int fd)
{
    return open(NULL_DEVICE, fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
}
#endif

}  // namespace

ClosedStreams reopen_closed_standard_streams(int failure_exit)
{
    ClosedStreams closed;
    bool* flags[] = {&closed.input, &closed.output, &closed.error};
    for (int fd = 0; fd <= 2; ++fd) {
        if (is_closed(fd)) {
            // Opening takes the lowest free descriptor: this one.
            if (open_null(fd) != fd) {
                std::_Exit(failure_exit);
            }
            *flags[fd] = true;
        }
    }
    return closed;
}

}  // namespace platform
