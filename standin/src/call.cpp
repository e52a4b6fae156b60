// The stand-in host's CallFrames.
#include "standin/call.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace standin {

int Evaluation::rejected_argument() const
{
    for (std::size_t i = 0; i < flagged.size(); ++i) {
        if (flagged[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

namespace {

std::size_t checked_count(std::span<const Argument> arguments)
{
    if (arguments.size() > MAX_CALL_ARGUMENTS) {
        throw std::invalid_argument("a call takes at most 3 arguments");
    }
    return arguments.size();
}

// A text's length travels as a 32-bit count.
std::int32_t text_length(std::string_view text)
{
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("a text argument of " + std::to_string(text.size()) +
                                " bytes is longer than the host can describe (2147483647 at most)");
    }
    return static_cast<std::int32_t>(text.size());
}

}  // namespace

PreparedCall::PreparedCall(std::span<const Argument> arguments)
    : count_(checked_count(arguments)),
      storage_(std::make_unique<std::byte[]>(call_frame_size(static_cast<int>(count_)))),
      frame_(reinterpret_cast<CallFrame*>(storage_.get()))
{
    std::memset(storage_.get(), FILL, call_frame_size(static_cast<int>(count_)));
    frame_->argument_count = static_cast<std::int32_t>(count_);
    for (std::size_t i = 0; i < count_; ++i) {
        ArgumentSlot& slot = frame_->arguments[i];
        slot.invalid = 0;
        if (const double* number = std::get_if<double>(&arguments[i])) {
            numbers_.push_back(std::make_unique<double>(*number));
            slot.value = numbers_.back().get();
        } else {
            const std::string& text = std::get<std::string>(arguments[i]);
            const std::int32_t length = text_length(text);
            texts_.push_back(std::make_unique<char[]>(text.size()));
            std::memcpy(texts_.back().get(), text.data(), text.size());
            auto descriptor = std::make_unique<TextDescriptor>();
            std::memset(descriptor.get(), FILL, sizeof(TextDescriptor));
            descriptor->length = length;
            descriptor->chars = texts_.back().get();
            slot.value = descriptor.get();
            descriptors_.push_back(std::move(descriptor));
        }
    }
}

Evaluation PreparedCall::invoke(FunctionEntry entry)
{
    Evaluation evaluation;
    evaluation.status = entry(frame_, &evaluation.value);
    for (std::size_t i = 0; i < count_; ++i) {
        evaluation.flagged.push_back((frame_->arguments[i].invalid & ARGUMENT_INVALID) != 0);
    }
    return evaluation;
}

void PreparedCall::set_number(int index, double value)
{
    *static_cast<double*>(const_cast<void*>(frame_->arguments[index].value)) = value;
}

void PreparedCall::set_text(int index, std::string_view text)
{
    const std::int32_t length = text_length(text);
    auto* descriptor = static_cast<TextDescriptor*>(const_cast<void*>(frame_->arguments[index].value));
    for (auto& buffer : texts_) {
        if (buffer.get() == descriptor->chars) {
            if (static_cast<std::size_t>(descriptor->length) != text.size()) {
                buffer = std::make_unique<char[]>(text.size());
            }
            std::memcpy(buffer.get(), text.data(), text.size());
            descriptor->chars = buffer.get();
            descriptor->length = length;
            return;
        }
    }
}

void PreparedCall::clear_flags()
{
    for (std::size_t i = 0; i < count_; ++i) {
        frame_->arguments[i].invalid = 0;
    }
}

}  // namespace standin
