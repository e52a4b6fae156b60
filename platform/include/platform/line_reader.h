// Lines of a file or a pipe, read in blocks, in constant memory: a line
// longer than MAX_LINE is reported as such and skipped to its end, never
// kept. A UTF-8 byte-order mark before the first line is dropped; a line
// may end in LF or CR LF (the CR is left for the caller's separators).
#ifndef PLATFORM_LINE_READER_H
#define PLATFORM_LINE_READER_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class LineReader {
public:
    static constexpr std::size_t MAX_LINE = std::size_t{1} << 20;
    static constexpr std::size_t BLOCK = std::size_t{1} << 20;

    enum class Got { line, too_long, end, error };

    explicit LineReader(std::FILE* in);

    // The next line, valid until the next call; its number counts from 1.
    Got next(std::string_view& line);
    std::size_t number() const { return number_; }
    // Why reading failed, after Got::error.
    const std::string& reason() const { return reason_; }

private:
    bool fill();

    std::FILE* in_;
    std::unique_ptr<char[]> block_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool first_ = true;
    std::string carry_;  // a line split across blocks, at most MAX_LINE bytes
    std::size_t number_ = 0;
    std::string reason_;
};

}  // namespace platform

#endif
