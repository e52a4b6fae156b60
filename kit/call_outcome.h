// How every call of the C interface hands back what happened: text into the
// caller's buffer as snprintf would, and a status with a one-line message
// for whatever the core throws (no exception crosses the interface).
#ifndef CVHOST_CALL_OUTCOME_H
#define CVHOST_CALL_OUTCOME_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cvmodule/cvhost.h"
#include "platform/escaped_text.h"

namespace cvhost_internal {

// Like snprintf: the whole length back, at most size - 1 characters and a
// NUL written.
inline std::size_t write_text(char* buffer, std::size_t size, const std::string& text)
{
    if (buffer != nullptr && size > 0) {
        const std::size_t length = std::min(text.size(), size - 1);
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return text.size();
}

// A message stays one line, and shows the control bytes of a file name or a
// method text escaped.
inline std::size_t write_message(char* buffer, std::size_t size, std::string_view text)
{
    return write_text(buffer, size, platform::escape_controls(text));
}

// Runs body, clearing message first; input the core refuses (InputError,
// which carries the reason) is CVHOST_STATUS_INVALID_ARGUMENT, anything else
// it throws CVHOST_STATUS_NO_RESULT with the reason in message.
template <class InputError, class Body>
std::int32_t status_of_call(char* message, std::size_t message_size, Body body)
{
    const auto failure = [&](std::int32_t status, std::string_view why) {
        write_message(message, message_size, why);
        return status;
    };
    write_message(message, message_size, "");
    try {
        body();
        return CVHOST_STATUS_OK;
    } catch (const InputError& error) {
        return failure(CVHOST_STATUS_INVALID_ARGUMENT, error.what());
    } catch (const std::bad_alloc&) {
        return failure(CVHOST_STATUS_NO_RESULT, "out of memory");
    } catch (const std::length_error&) {
        return failure(CVHOST_STATUS_NO_RESULT, "out of memory");
    } catch (const std::exception& error) {
        return failure(CVHOST_STATUS_NO_RESULT, error.what());
    } catch (...) {
        return failure(CVHOST_STATUS_NO_RESULT, "unknown error");
    }
}

// A call that makes an object: *made NULL until make() gives one; a NULL
// made is refused with `null_made` as the message; the core's refusals and
// failures as status_of_call says, and a Stopped exception (a stop on
// request) CVHOST_STATUS_STOPPED.
template <class Stopped, class Result, class Make>
std::int32_t made_object_call(Result** made, const char* null_made, char* message, std::size_t message_size, Make make)
{
    if (made != nullptr) {
        *made = nullptr;
    }
    bool stopped = false;
    const std::int32_t status = status_of_call<std::invalid_argument>(message, message_size, [&] {
        if (made == nullptr) {
            throw std::invalid_argument(null_made);
        }
        try {
            *made = make().release();
        } catch (const Stopped&) {
            stopped = true;
            throw;
        }
    });
    return stopped ? CVHOST_STATUS_STOPPED : status;
}

}  // namespace cvhost_internal

#endif
