// The C interface over the stand-in host. No exception crosses it: every
// failure becomes a message, a status or the missing value.
#define CVHOST_BUILDING
#include "cvmodule/cvhost.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "library_location.h"
#include "platform/utc_time.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

static_assert(CVHOST_STATUS_OK == STATUS_OK && CVHOST_STATUS_NO_RESULT == STATUS_NO_RESULT &&
              CVHOST_STATUS_INVALID_ARGUMENT == STATUS_INVALID_ARGUMENT);

namespace {

constexpr std::string_view FUNCTION_NAME = "LJUNGCV";

// The process's one host environment, shared by every open handle: made by
// the first open, ended by the last close.
std::mutex environment_mutex;
std::unique_ptr<standin::HostEnvironment> environment;
std::size_t open_handles = 0;

void write_message(char* message, std::size_t size, const std::string& text)
{
    if (message == nullptr || size == 0) {
        return;
    }
    std::size_t length = 0;
    for (; length < text.size() && length + 1 < size; ++length) {
        const char c = text[length];
        message[length] = c == '\n' || c == '\r' ? ' ' : c;
    }
    message[length] = '\0';
}

// What `ljungcv info` shows, one "name: value" per line.
std::string info_text(standin::Module& module)
{
    using standin::field_text;
    const ImageInformation& image = module.image();
    std::string text;
    const auto line = [&text](std::string_view name, const std::string& value) {
        text.append(name).append(": ").append(value).append("\n");
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", image.magic);
    line("module", module.path().string());
    line("marker", field_text(image.marker, sizeof image.marker));
    line("magic", hex);
    line("image code", std::to_string(image.image_code));
    line("short version", field_text(image.short_version, sizeof image.short_version));
    line("build level", field_text(image.build_level, sizeof image.build_level));
    line("build date", field_text(image.build_date, sizeof image.build_date));
    line("notice", image.notice != nullptr ? image.notice : "(none)");
    line("image revision", field_text(image.image_revision, sizeof image.image_revision));
    for (const ModuleDescriptor* descriptor : module.descriptors()) {
        line("descriptor", field_text(descriptor->name, sizeof descriptor->name));
    }
    const standin::VersionRecordSlots slots = module.version_record();
    for (int i = 0; i < VERSION_RECORD_SLOTS; ++i) {
        const std::uint64_t slot = slots[static_cast<std::size_t>(i)];
        const std::string name = "version " + std::to_string(i);
        if (i == VERSION_SLOT_BUILD_TIME) {
            line(name, std::to_string(slot) + " (" + platform::utc_text(slot) + ")");
        } else if (slot == 0) {
            line(name, "null");
        } else {
            // A text slot holds the address of the module's text.
            line(name, reinterpret_cast<const char*>(slot));  // NOLINT(performance-no-int-to-ptr)
        }
    }
    for (const standin::RegisteredFunction& function : module.functions()) {
        line("function", function.name + " " + std::to_string(function.min_args) + " to " +
                             std::to_string(function.max_args) + " arguments (module " + function.module + ")");
    }
    return text;
}

std::int32_t fail(double* value, std::int32_t status)
{
    if (value != nullptr) {
        *value = MISSING_VALUE;
    }
    return status;
}

}  // namespace

// A handle: the loaded module and LJUNGCV's entry, fixed at open.
struct cvhost {
    std::unique_ptr<standin::Module> module;
    FunctionEntry entry = nullptr;
    std::string info;
};

namespace {

// Opens under environment_mutex; throws what the loader throws.
std::unique_ptr<cvhost> open_locked(const std::filesystem::path& path)
{
    std::unique_ptr<standin::HostEnvironment> made;
    if (!environment) {
        made = std::make_unique<standin::HostEnvironment>();
    }
    standin::HostEnvironment& host = made ? *made : *environment;
    auto handle = std::make_unique<cvhost>();
    handle->module = std::make_unique<standin::Module>(host, path);
    const standin::RegisteredFunction* function = handle->module->find_function(FUNCTION_NAME);
    if (function == nullptr) {
        throw standin::LoadError("'" + path.string() + "' does not offer " + std::string(FUNCTION_NAME));
    }
    if (function->min_args > 2 || function->max_args < 3) {
        throw standin::LoadError("'" + path.string() + "': " + function->name + " takes " +
                                 std::to_string(function->min_args) + " to " + std::to_string(function->max_args) +
                                 " arguments, not 2 and 3");
    }
    handle->entry = function->entry;
    handle->info = info_text(*handle->module);
    if (made) {
        environment = std::move(made);
    }
    return handle;
}

}  // namespace

extern "C" {

cvhost* cvhost_open(const char* module_path, char* message, std::size_t message_size)
{
    write_message(message, message_size, "");
    try {
        const std::filesystem::path path =
            module_path != nullptr ? std::filesystem::path(module_path) : cvhost_kit::installed_module_path();
        const std::lock_guard lock(environment_mutex);
        std::unique_ptr<cvhost> handle = open_locked(path);
        ++open_handles;
        return handle.release();
    } catch (const std::exception& error) {
        write_message(message, message_size, error.what());
    } catch (...) {
        write_message(message, message_size, "cannot open the module: unknown error");
    }
    return nullptr;
}

void cvhost_close(cvhost* host)
{
    if (host == nullptr) {
        return;
    }
    const std::lock_guard lock(environment_mutex);
    delete host;
    if (--open_handles == 0) {
        environment.reset();
    }
}

std::int32_t cvhost_ljungcv(cvhost* host, double n, double alpha, const char* method, double* value, int* rejected)
{
    if (rejected != nullptr) {
        *rejected = 0;
    }
    if (host == nullptr || value == nullptr) {
        return fail(value, STATUS_NO_RESULT);
    }
    try {
        std::vector<standin::Argument> arguments{n, alpha};
        if (method != nullptr) {
            arguments.emplace_back(std::string(method));
        }
        standin::PreparedCall call(arguments);
        const standin::Evaluation evaluation = call.invoke(host->entry);
        *value = evaluation.value;
        if (rejected != nullptr) {
            *rejected = evaluation.rejected_argument();
        }
        return evaluation.status;
    } catch (const std::length_error&) {
        // The host describes a text's length with 32 bits; a longer method
        // cannot be passed, so it is the rejected argument.
        if (rejected != nullptr) {
            *rejected = 3;
        }
        return fail(value, STATUS_INVALID_ARGUMENT);
    } catch (...) {
        return fail(value, STATUS_NO_RESULT);
    }
}

void cvhost_ljungcv_many(cvhost* host, std::size_t count, const double* n, const double* alpha, const char* method,
                         double* values, std::int32_t* statuses)
{
    const auto fail_all = [&](std::int32_t status) {
        for (std::size_t i = 0; i < count; ++i) {
            if (values != nullptr) {
                values[i] = MISSING_VALUE;
            }
            if (statuses != nullptr) {
                statuses[i] = status;
            }
        }
    };
    if (host == nullptr || n == nullptr || alpha == nullptr) {
        fail_all(STATUS_NO_RESULT);
        return;
    }
    if (count == 0) {
        return;
    }
    try {
        // One frame for every pair: its numbers are replaced in place and the
        // invalid bits cleared, so each call sees what a fresh frame holds.
        std::vector<standin::Argument> arguments{0.0, 0.0};
        if (method != nullptr) {
            arguments.emplace_back(std::string(method));
        }
        standin::PreparedCall call(arguments);
        CallFrame* frame = call.frame();
        for (std::size_t i = 0; i < count; ++i) {
            call.set_number(0, n[i]);
            call.set_number(1, alpha[i]);
            double value = MISSING_VALUE;
            const std::int32_t status = host->entry(frame, &value);
            call.clear_flags();
            if (values != nullptr) {
                values[i] = value;
            }
            if (statuses != nullptr) {
                statuses[i] = status;
            }
        }
    } catch (const std::length_error&) {
        fail_all(STATUS_INVALID_ARGUMENT);  // a method longer than the host can describe
    } catch (...) {
        fail_all(STATUS_NO_RESULT);
    }
}

std::size_t cvhost_module_info(cvhost* host, char* buffer, std::size_t buffer_size)
{
    const std::string empty;
    const std::string& text = host != nullptr ? host->info : empty;
    if (buffer != nullptr && buffer_size > 0) {
        const std::size_t length = text.size() < buffer_size ? text.size() : buffer_size - 1;
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return text.size();
}

}  // extern "C"
