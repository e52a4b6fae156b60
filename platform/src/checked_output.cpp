#include "platform/checked_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>


namespace platform {

namespace {

bool output_closed = false;  // standard output was closed when the command started
bool input_closed_at_start = false;
int first_error = 0;         // the first failed write's errno, reported again at the end

[[noreturn]] void fail(int error_number)
{
    if (first_error == 0) {
        first_error = error_number != 0 ? error_number : EIO;
    }
    throw OutputError(first_error);
}

class OutputBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char byte = traits_type::to_char_type(c);
            write_output(std::string_view(&byte, 1));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override
    {
        write_output(std::string_view(data, static_cast<std::size_t>(size)));
        return size;
    }
    int sync() override
    {
        if (std::fflush(stdout) != 0) {
            fail(errno);
        }
        return 0;
    }
};

}  // namespace

OutputError::OutputError(int error_number)
    : std::runtime_error(std::string("cannot write the output: ") + std::strerror(error_number))
{
}

ClosedStreams guard_standard_streams(int failure_exit)
{
    const ClosedStreams closed = reopen_closed_standard_streams(failure_exit);
    output_closed = closed.output;
    input_closed_at_start = closed.input;
    return closed;
}

bool input_closed()
{
    return input_closed_at_start;
}

void write_output(std::string_view bytes)
{
    if (first_error != 0) {
        throw OutputError(first_error);
    }
    if (output_closed) {
        fail(EBADF);
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
        fail(errno);
    }
}

std::ostream& output_stream()
{
    struct CheckedStream {
        OutputBuffer buffer;
        std::ostream stream{&buffer};
        CheckedStream() { stream.exceptions(std::ios::badbit); }
    };
    static CheckedStream checked;
    return checked.stream;
}

void finish_output()
{
    if (first_error != 0) {
        throw OutputError(first_error);
    }
    output_stream().flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        fail(errno);
    }
    if (std::fclose(stdout) != 0) {
        fail(errno);
    }
}

}  // namespace platform
