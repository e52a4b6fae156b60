// LJUNGCV as a loaded module registered it with the stand-in host, and its
// values through one reused call frame per method: the one evaluation path
// of every front-end.
#ifndef CORE_LJUNGCV_H
#define CORE_LJUNGCV_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/methods.h"
#include "host/host_toolkit.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace core {

// A module file loaded into a host environment, with LJUNGCV's entry.
class LoadedModule {
public:
    // Throws standin::LoadError, also when the module does not offer
    // LJUNGCV with two and three arguments.
    LoadedModule(standin::HostEnvironment& host, const std::filesystem::path& path);

    standin::Module& module() { return module_; }
    const standin::Module& module() const { return module_; }
    FunctionEntry entry() const { return entry_; }

private:
    standin::Module module_;
    FunctionEntry entry_;
};

// A program's own host environment with one module loaded into it.
class ModuleSession {
public:
    // Throws standin::LoadError.
    explicit ModuleSession(const std::filesystem::path& path) : loaded_(host_, path) {}

    standin::Module& module() { return loaded_.module(); }
    FunctionEntry entry() const { return loaded_.entry(); }

private:
    standin::HostEnvironment host_;
    LoadedModule loaded_;
};

// One outcome of LJUNGCV(n, alpha [, method]).
struct Point {
    double value = MISSING_VALUE;
    std::int32_t status = STATUS_NO_RESULT;
    std::int32_t rejected = 0;  // 1..3: the argument the function flagged
};

// The values of one method text through a frame whose numbers are replaced
// call by call: the flags are cleared before each call, so every call sees
// what a fresh frame holds. Not for use by two threads at once.
class Curve {
public:
    // Three arguments with this method text, passed as written, or two
    // without one (the function's default, the corrected method). Throws
    // std::length_error for a text longer than the host can describe.
    Curve(FunctionEntry entry, std::optional<std::string_view> method_text);
    // The method's shortest frame: two arguments for the corrected method,
    // the keyword for the asymptotic one.
    Curve(FunctionEntry entry, Method method);

    Point at(double n, double alpha);

    // count evaluations; each output array may be null.
    void many(std::size_t count, const double* n, const double* alpha, double* values, std::int32_t* statuses,
              std::int32_t* rejected);

    // The method the text selects (the corrected one for two arguments), or
    // nothing where the function would reject the text.
    std::optional<Method> method() const { return method_; }

private:
    FunctionEntry entry_;
    std::optional<Method> method_;
    standin::PreparedCall call_;
};

}  // namespace core

#endif
