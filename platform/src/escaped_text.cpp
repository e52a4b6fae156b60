#include "platform/escaped_text.h"

#include <streambuf>

namespace platform {

bool is_control(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string escape_controls(std::string_view text)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        if (is_control(c)) {
            const auto byte = static_cast<unsigned char>(c);
            shown.append("\\x").append(1, HEX[byte >> 4]).append(1, HEX[byte & 0xF]);
        } else {
            shown += c;
        }
    }
    return shown;
}

namespace {

// Each message reaches the stream as one write (fmt::print formats it
// whole first) whose last byte is its line end: that newline is the
// message's own, and every other control byte in the write, a newline in a
// file name or an argument included, came from the text shown.
class EscapingBuffer final : public std::streambuf {
public:
    explicit EscapingBuffer(std::streambuf* target) : target_(target) {}

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return put({&byte, 1}) ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* data, std::streamsize size) override
    {
        return put({data, static_cast<std::size_t>(size)}) ? size : 0;
    }

    int sync() override { return target_->pubsync(); }

private:
    bool put(std::string_view text)
    {
        const bool ends_line = !text.empty() && text.back() == '\n';
        std::string shown = escape_controls(ends_line ? text.substr(0, text.size() - 1) : text);
        if (ends_line) {
            shown += '\n';
        }
        const auto size = static_cast<std::streamsize>(shown.size());
        return target_->sputn(shown.data(), size) == size;
    }

    std::streambuf* target_;
};

}  // namespace

void escape_messages(std::ostream& stream)
{
    static EscapingBuffer buffer(stream.rdbuf());
    stream.rdbuf(&buffer);
}

}  // namespace platform
