// Output in blocks: text is collected in a fixed buffer and handed to the
// sink (standard output's checked writer, which throws on a failed write)
// whenever a block is full, so a command's memory does not grow with its
// output and the first failed write ends it.
#ifndef PLATFORM_OUTPUT_BUFFER_H
#define PLATFORM_OUTPUT_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class OutputBuffer {
public:
    // Bytes collected before they are written.
    static constexpr std::size_t BLOCK = std::size_t{1} << 16;

    using Sink = void (*)(std::string_view bytes);

    explicit OutputBuffer(Sink sink);
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    ~OutputBuffer() = default;  // unflushed text is dropped: only finish() writes the rest

    void text(std::string_view text);
    void put(char c);
    // The shortest text that reads back as the same double.
    void shortest(double value);
    void integer(std::int64_t value);

    // Writes out a full block; call between rows.
    void row_done();
    // Writes out everything collected.
    void finish();

private:
    void write_out();

    Sink sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

}  // namespace platform

#endif
