#include "platform/output_buffer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace platform {

namespace {

// The buffer holds a block plus the longest row that completes it; a
// longer piece of text goes out in block-sized writes.
constexpr std::size_t CAPACITY = OutputBuffer::BLOCK * 2;
constexpr std::size_t NUMBER_ROOM = 32;  // the shortest form of any double, or any 64-bit integer

}  // namespace

OutputBuffer::OutputBuffer(Sink sink) : sink_(sink), buffer_(new char[CAPACITY]) {}

void OutputBuffer::text(std::string_view text)
{
    while (!text.empty()) {
        if (used_ == CAPACITY) {
            write_out();
        }
        const std::size_t piece = std::min(text.size(), CAPACITY - used_);
        std::memcpy(buffer_.get() + used_, text.data(), piece);
        used_ += piece;
        text.remove_prefix(piece);
    }
}

void OutputBuffer::put(char c)
{
    if (used_ == CAPACITY) {
        write_out();
    }
    buffer_[used_++] = c;
}

void OutputBuffer::shortest(double value)
{
    char number[NUMBER_ROOM];
    text(std::string_view(number, static_cast<std::size_t>(std::to_chars(number, number + NUMBER_ROOM, value).ptr - number)));
}

void OutputBuffer::integer(std::int64_t value)
{
    char number[NUMBER_ROOM];
    text(std::string_view(number, static_cast<std::size_t>(std::to_chars(number, number + NUMBER_ROOM, value).ptr - number)));
}

void OutputBuffer::row_done()
{
    if (used_ >= BLOCK) {
        write_out();
    }
}

void OutputBuffer::finish()
{
    write_out();
}

void OutputBuffer::write_out()
{
    const std::size_t used = used_;
    used_ = 0;
    sink_(std::string_view(buffer_.get(), used));
}

}  // namespace platform
