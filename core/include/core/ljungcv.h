// LJUNGCV as a loaded module registered it with the host, and its values
// through one reused call frame per method: the one evaluation path of every
// front-end. Finding, loading and checking a module file happen here too, so
// that a front-end needs nothing of the host beneath.
#ifndef CORE_LJUNGCV_H
#define CORE_LJUNGCV_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/methods.h"

namespace core {

// A module file that cannot be found, loaded or used: the message names the
// file and what is wrong.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The host's answer to one evaluation.
enum class Status : std::int32_t { ok = 0, no_result = 120833, invalid_argument = 120836 };

// The host's missing value, the result of every failed evaluation.
inline constexpr double MISSING_VALUE = std::bit_cast<double>(std::uint64_t{0xFFFFD10000000000});

// Whether x is missing to the host: its top 16 bits all ones.
constexpr bool is_missing(double x)
{
    return (std::bit_cast<std::uint64_t>(x) >> 48) == 0xFFFF;
}

// The module that goes with a program (argv[0] as the program was started)
// or with a library file: beside it, else in ../lib or the installed module
// directory relative to it. The first that exists, else the candidate beside
// a library or in ../lib of a program, whose absence loading then reports.
// Throws LoadError when the program's own file cannot be known without
// trusting the working directory.
std::filesystem::path module_beside_program(const char* argv0);
std::filesystem::path module_beside_library(const std::filesystem::path& library_file);

// A host environment: the context record, services and allocator that
// modules are loaded into. A process normally has one.
class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

private:
    friend class LoadedModule;
    struct State;
    std::unique_ptr<State> state_;
};

// A function the module registered, as the host learned it.
struct RegisteredFunction {
    std::string name;
    int min_args = 0;
    int max_args = 0;
    std::string module;  // the name of the descriptor that offered it
};

// A module file loaded into a host environment and checked, with
// LJUNGCV's entry.
class LoadedModule {
public:
    // Throws LoadError, also when the module does not offer LJUNGCV with two
    // and three arguments.
    LoadedModule(Host& host, const std::filesystem::path& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::filesystem::path& path() const;
    // Every function the module registered, in its order.
    const std::vector<RegisteredFunction>& functions() const;

private:
    friend class Curve;
    friend struct ModuleAccess;
    struct State;
    std::unique_ptr<State> state_;
};

namespace detail {
struct OwnHost {
    Host host;
};
}  // namespace detail

// A program's own host environment with one module loaded into it.
class ModuleSession : private detail::OwnHost, public LoadedModule {
public:
    // Throws LoadError.
    explicit ModuleSession(const std::filesystem::path& path) : LoadedModule(host, path) {}
};

// One outcome of LJUNGCV(n, alpha [, method]).
struct Point {
    double value = MISSING_VALUE;
    Status status = Status::no_result;
    std::int32_t rejected = 0;  // 1..3: the argument the function flagged
};

// The values of one method text through a frame whose numbers are replaced
// call by call: the flags are cleared before each call, so every call sees
// what a fresh frame holds. Not for use by two threads at once.
class Curve {
public:
    // Three arguments with this method text, passed as written, or two
    // without one (the function's default method). Throws std::length_error
    // for a text longer than the host can describe.
    Curve(const LoadedModule& module, std::optional<std::string_view> method_text);
    // The method's shortest frame: two arguments for the default method,
    // its keyword for another.
    Curve(const LoadedModule& module, Method method);
    ~Curve();
    Curve(Curve&&) noexcept;
    Curve& operator=(Curve&&) noexcept;

    Point at(double n, double alpha);

    // count evaluations; each output array may be null. Statuses as the
    // host's numbers.
    void many(std::size_t count, const double* n, const double* alpha, double* values, std::int32_t* statuses,
              std::int32_t* rejected);

    // The method the text selects (the default one for two arguments), or
    // nothing where the function would reject the text.
    std::optional<Method> method() const { return method_; }

private:
    struct Frame;
    std::optional<Method> method_;
    std::unique_ptr<Frame> frame_;
};

}  // namespace core

#endif
