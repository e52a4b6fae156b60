// Building the argument block of one evaluation as the host does: a
// CallFrame with one ArgumentSlot per argument and no room for more, doubles for numbers and
// TextDescriptors for texts. A text's characters are a buffer of exactly its
// length, blank-padded and not NUL-terminated.
#ifndef STANDIN_CALL_H
#define STANDIN_CALL_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/host_toolkit.h"

namespace standin {

using Argument = std::variant<double, std::string>;

// The outcome of one evaluation.
struct Evaluation {
    std::int32_t status = 0;
    double value = 0.0;
    std::vector<bool> flagged;  // one per argument: invalid bit set

    // The 1-based position of the first flagged argument, or 0.
    int rejected_argument() const;
};

class PreparedCall {
public:
    // The frame's host bytes hold FILL; the test suite checks they survive.
    static constexpr std::uint8_t FILL = 0x5A;

    explicit PreparedCall(std::span<const Argument> arguments);
    PreparedCall(const PreparedCall&) = delete;
    PreparedCall& operator=(const PreparedCall&) = delete;

    CallFrame* frame() { return frame_; }
    int argument_count() const { return static_cast<int>(count_); }

    // Calls the entry with this frame. Flags set by earlier calls stay.
    Evaluation invoke(FunctionEntry entry);
    // Clears every argument's invalid bit.
    void clear_flags();

    // Replace argument `index`'s value (0-based) in place, keeping the
    // frame: a number must replace a number, a text a text.
    void set_number(int index, double value);
    void set_text(int index, std::string_view text);

private:
    std::size_t count_;
    std::unique_ptr<std::byte[]> storage_;  // exactly the frame's size for its arguments
    CallFrame* frame_;
    std::vector<std::unique_ptr<double>> numbers_;
    std::vector<std::unique_ptr<TextDescriptor>> descriptors_;
    std::vector<std::unique_ptr<char[]>> texts_;  // each exactly its text's length
};

}  // namespace standin

#endif
