// Loading, identifying and registering a module the way the host does.
#include "standin/module.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

namespace standin {

namespace {

// The descriptor list is a null-terminated array; a module whose list runs
// on further than this is refused rather than followed forever.
constexpr std::size_t MAX_DESCRIPTORS = 64;

bool same_name(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::string field_text(const char* field, std::size_t width)
{
    const auto* end = static_cast<const char*>(std::memchr(field, '\0', width));
    return std::string(field, end != nullptr ? static_cast<std::size_t>(end - field) : width);
}

Module::Module(HostEnvironment& host, const std::filesystem::path& path)
    : Module(host, DynamicLibrary(path, [&host](DynamicLibrary&& library) { try_out(host, std::move(library)); }))
{
}

void Module::try_out(HostEnvironment& host, DynamicLibrary&& library)
{
    Module module(host, std::move(library));
    module.version_record();
    // Numbers the host would pass; LJUNGCV(10, 0.05) for this module.
    const Argument numbers[] = {10.0, 0.05, 0.0};
    for (const RegisteredFunction& function : module.functions()) {
        if (function.min_args >= 0 && function.min_args <= static_cast<int>(std::size(numbers))) {
            PreparedCall call(std::span(numbers, static_cast<std::size_t>(function.min_args)));
            call.invoke(function.entry);
        }
    }
}

Module::Module(HostEnvironment& host, DynamicLibrary&& library) : host_(host), library_(std::move(library))
{
    const std::string file = library_.path().string();
    main_ = reinterpret_cast<MainEntry>(library_.find("mcn_main"));
    version_ = reinterpret_cast<VersionEntry>(library_.find("tkvercn1"));
    if (main_ == nullptr || version_ == nullptr) {
        throw LoadError("'" + file + "' is not a function module: it does not export " +
                        (main_ == nullptr ? "mcn_main" : "tkvercn1"));
    }
    // A damaged symbol table may name any address.
    for (const auto& [entry, name] : {std::pair{reinterpret_cast<const void*>(main_), "mcn_main"},
                                      std::pair{reinterpret_cast<const void*>(version_), "tkvercn1"}}) {
        if (!library_.contains_code(entry)) {
            throw LoadError("'" + file + "': " + name + " lies outside the module's code");
        }
    }

    // Every record the module hands out is checked to lie within its image
    // before it is read: a damaged module is refused with a message, never
    // followed into memory it does not have.
    image_ = main_(host_.context(), 0);
    if (image_ == nullptr) {
        throw LoadError("'" + file + "': mcn_main returned no image information");
    }
    if (!library_.contains(image_, sizeof(ImageInformation))) {
        throw LoadError("'" + file + "': the image information lies outside the module");
    }
    if (std::memcmp(image_->marker, IMAGE_MARKER, sizeof(IMAGE_MARKER)) != 0) {
        throw LoadError("'" + file + "': the image information has the wrong marker '" +
                        printable_text(field_text(image_->marker, sizeof(image_->marker))) + "'");
    }
    if (image_->magic != IMAGE_INFORMATION_MAGIC) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%08X", image_->magic);
        throw LoadError("'" + file + "': the image information has the wrong magic " + hex);
    }
    if (image_->notice != nullptr && !library_.contains_text(image_->notice)) {
        throw LoadError("'" + file + "': the notice is not text within the module");
    }
    if (image_->descriptors != nullptr) {
        for (std::size_t i = 0;; ++i) {
            if (i == MAX_DESCRIPTORS || !library_.contains(&image_->descriptors[i], sizeof(std::uintptr_t))) {
                throw LoadError("'" + file + "': the descriptor list has no end");
            }
            const ModuleDescriptor* descriptor = image_->descriptors[i];
            if (descriptor == nullptr) {
                break;
            }
            if (!library_.contains(descriptor, sizeof(ModuleDescriptor))) {
                throw LoadError("'" + file + "': descriptor " + std::to_string(i + 1) + " lies outside the module");
            }
            descriptors_.push_back(descriptor);
        }
    }
}

VersionRecordSlots Module::version_record() const
{
    VersionRecordSlots slots{};
    version_(slots.data());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        // Every slot but the build time holds the address of text, or null.
        if (i != VERSION_SLOT_BUILD_TIME && slots[i] != 0 &&
            !library_.contains_text(reinterpret_cast<const char*>(slots[i]))) {  // NOLINT(performance-no-int-to-ptr)
            char fault[96];
            std::snprintf(fault, sizeof fault, "': version record slot %zu should hold the address of text, not 0x%llX",
                          i, static_cast<unsigned long long>(slots[i]));
            const std::string file = path().string();
            throw LoadError("'" + file + fault);
        }
    }
    return slots;
}

const std::vector<RegisteredFunction>& Module::functions()
{
    if (functions_) {
        return *functions_;
    }
    std::vector<RegisteredFunction> learned;
    for (const ModuleDescriptor* descriptor : descriptors_) {
        const std::string module = printable_text(field_text(descriptor->name, sizeof(descriptor->name)));
        if (descriptor->query == nullptr) {
            throw LoadError("'" + path().string() + "': module " + module + " has no request handler");
        }
        if (!library_.contains_code(reinterpret_cast<const void*>(descriptor->query))) {
            throw LoadError("'" + path().string() + "': module " + module + "'s request handler lies outside the module's code");
        }
        const auto* names = static_cast<const FunctionNamesRecord*>(descriptor->query(REQUEST_FUNCTION_NAMES));
        const auto* entries =
            static_cast<const FunctionEntriesRecord*>(descriptor->query(REQUEST_FUNCTION_ENTRIES));
        if (names == nullptr || entries == nullptr) {
            throw LoadError("'" + path().string() + "': module " + module +
                            " did not answer its registration requests");
        }
        // The records are the host's blocks (or the module's own data).
        const auto lies_within = [&](const void* record, std::uint64_t size) {
            return host_.holds(record, size) || library_.contains(record, size);
        };
        if (!lies_within(names, sizeof(FunctionNamesRecord))) {
            throw LoadError("'" + path().string() + "': module " + module +
                            "'s names record lies outside the host's memory and the module");
        }
        // The definitions are the module's own; a count they cannot hold
        // would send the host far past them.
        if (names->count < 0 ||
            !library_.contains(names->functions, sizeof(FunctionDefinition) * static_cast<std::size_t>(names->count))) {
            throw LoadError("'" + path().string() + "': module " + module + " names " + std::to_string(names->count) +
                            " functions, more than its definitions hold");
        }
        if (!lies_within(entries, function_entries_record_size(names->count))) {
            throw LoadError("'" + path().string() + "': module " + module + "'s entries record cannot hold " +
                            std::to_string(names->count) + " entries");
        }
        const auto* entry_slots =
            reinterpret_cast<const unsigned char*>(entries) + offsetof(FunctionEntriesRecord, entries);
        for (std::int32_t i = 0; i < names->count; ++i) {
            const FunctionDefinition& definition = names->functions[i];
            RegisteredFunction function;
            function.name = field_text(definition.name, sizeof(definition.name));
            function.min_args = definition.min_args;
            function.max_args = definition.max_args;
            function.definition = &definition;
            std::memcpy(&function.entry, entry_slots + sizeof(FunctionEntry) * static_cast<std::size_t>(i),
                        sizeof(FunctionEntry));
            if (!library_.contains_code(reinterpret_cast<const void*>(function.entry))) {
                throw LoadError("'" + path().string() + "': function " + printable_text(function.name) +
                                (function.entry == nullptr ? " has no entry" : "'s entry lies outside the module's code"));
            }
            function.module = module;
            learned.push_back(std::move(function));
        }
    }
    functions_ = std::move(learned);
    return *functions_;
}

const RegisteredFunction* Module::find_function(std::string_view name)
{
    for (const RegisteredFunction& function : functions()) {
        if (same_name(function.name, name)) {
            return &function;
        }
    }
    return nullptr;
}

Evaluation Module::evaluate(std::string_view name, std::span<const Argument> arguments)
{
    const RegisteredFunction* function = find_function(name);
    if (function == nullptr) {
        throw CallError("no function " + std::string(name) + " in module '" + path().string() + "'");
    }
    const auto count = static_cast<int>(arguments.size());
    if (count < function->min_args || count > function->max_args) {
        throw CallError(function->name + " takes " + std::to_string(function->min_args) + " to " +
                        std::to_string(function->max_args) + " arguments, not " + std::to_string(count));
    }
    PreparedCall call(arguments);
    return call.invoke(function->entry);
}

}  // namespace standin
