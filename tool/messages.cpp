#include "messages.h"

#include <iostream>
#include <streambuf>
#include <string>

#include "core/user_text.h"

namespace ljungcv {

namespace {

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
        const std::string shown = byte != '\n' && cvcore::is_control(byte) ? cvcore::escape_controls({&byte, 1})
                                                                             : std::string(1, byte);
        const auto size = static_cast<std::streamsize>(shown.size());
        return target_->sputn(shown.data(), size) == size ? c : traits_type::eof();
    }

    int sync() override { return target_->pubsync(); }

private:
    std::streambuf* target_;
};

}  // namespace

void escape_messages()
{
    static EscapingBuffer buffer(std::cerr.rdbuf());
    std::cerr.rdbuf(&buffer);
}

}  // namespace ljungcv
