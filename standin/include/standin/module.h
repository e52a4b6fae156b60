// A function module as the host sees it: loaded from its file, identified
// through mcn_main and its ImageInformation, versioned through tkvercn1, its
// functions registered through each ModuleDescriptor's request handler, and
// evaluated through the entries those requests return.
#ifndef STANDIN_MODULE_H
#define STANDIN_MODULE_H

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_toolkit.h"
#include "standin/call.h"
#include "standin/dynamic_library.h"
#include "standin/host_environment.h"

namespace standin {

using MainEntry = const ImageInformation* (*)(const HostContext* context, std::uint64_t value);
using VersionEntry = std::int32_t (*)(std::uint64_t* slots);

using VersionRecordSlots = std::array<std::uint64_t, VERSION_RECORD_SLOTS>;

// A function as the host learned it from request 1 and request 2.
struct RegisteredFunction {
    std::string name;
    int min_args = 0;
    int max_args = 0;
    const FunctionDefinition* definition = nullptr;
    FunctionEntry entry = nullptr;
    std::string module;  // the name of the descriptor that offered it
};

// A call was refused by the host before reaching the module (unknown
// function, wrong number of arguments).
class CallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Module {
public:
    // Loads the library, resolves mcn_main and tkvercn1, calls mcn_main with
    // the host's context and checks the ImageInformation. Throws LoadError.
    // Where the platform allows, the library is first tried in a separate
    // process (DynamicLibrary's trial) with everything the host reads of
    // it: the records, the version record, registration and one evaluation
    // of each function.
    Module(HostEnvironment& host, const std::filesystem::path& path);

    const std::filesystem::path& path() const { return library_.path(); }
    const ImageInformation& image() const { return *image_; }
    const std::vector<const ModuleDescriptor*>& descriptors() const { return descriptors_; }
    MainEntry main_entry() const { return main_; }
    VersionEntry version_entry() const { return version_; }
    const DynamicLibrary& library() const { return library_; }

    // Copies the VersionRecord through tkvercn1.
    VersionRecordSlots version_record() const;

    // Asks every descriptor's handler for requests 1 and 2, once; later calls
    // return what was learned. Throws LoadError when a handler answers null.
    const std::vector<RegisteredFunction>& functions();
    // The function of that name (case-insensitive, as the host's names are),
    // or null.
    const RegisteredFunction* find_function(std::string_view name);

    // Evaluates a registered function. Throws CallError when there is no such
    // function or the argument count is outside its range.
    Evaluation evaluate(std::string_view name, std::span<const Argument> arguments);

private:
    Module(HostEnvironment& host, DynamicLibrary&& library);
    // What the trial load does with the library.
    static void try_out(HostEnvironment& host, DynamicLibrary&& library);

    HostEnvironment& host_;
    DynamicLibrary library_;
    MainEntry main_ = nullptr;
    VersionEntry version_ = nullptr;
    const ImageInformation* image_ = nullptr;
    std::vector<const ModuleDescriptor*> descriptors_;
    std::optional<std::vector<RegisteredFunction>> functions_;
};

// Text of a NUL-padded fixed-width field.
std::string field_text(const char* field, std::size_t width);

}  // namespace standin

#endif
