#include "core/ljungcv.h"

#include <string>
#include <utility>
#include <vector>

#include "host/ljungcv_function.h"
#include "module_state.h"
#include "platform/own_location.h"
#include "standin/call.h"
#include "standin/dynamic_library.h"
#include "standin/module_location.h"

namespace core {

static_assert(static_cast<std::int32_t>(Status::ok) == STATUS_OK &&
              static_cast<std::int32_t>(Status::no_result) == STATUS_NO_RESULT &&
              static_cast<std::int32_t>(Status::invalid_argument) == STATUS_INVALID_ARGUMENT);
static_assert(std::bit_cast<std::uint64_t>(core::MISSING_VALUE) == std::bit_cast<std::uint64_t>(::MISSING_VALUE));

namespace {

// Runs `load`, reporting the stand-in host's load errors as the core's.
template <typename Load>
auto loading(Load load)
{
    try {
        return load();
    } catch (const standin::LoadError& e) {
        throw LoadError(e.what());
    }
}

FunctionEntry ljungcv_entry(standin::Module& module)
{
    const standin::RegisteredFunction* function = module.find_function(LJUNGCV_FUNCTION_NAME);
    std::string why = "'";
    why.append(module.path().string()).append("'");
    if (function == nullptr) {
        throw LoadError(why.append(" does not offer ").append(LJUNGCV_FUNCTION_NAME));
    }
    if (function->min_args > 2 || function->max_args < 3) {
        why.append(": ").append(function->name).append(" takes ").append(std::to_string(function->min_args));
        throw LoadError(why.append(" to ").append(std::to_string(function->max_args)).append(" arguments, not 2 and 3"));
    }
    return function->entry;
}

std::vector<RegisteredFunction> registered_functions(standin::Module& module)
{
    std::vector<RegisteredFunction> functions;
    for (const standin::RegisteredFunction& function : module.functions()) {
        functions.push_back({function.name, function.min_args, function.max_args, function.module});
    }
    return functions;
}

std::vector<standin::Argument> frame_arguments(std::optional<std::string_view> method_text)
{
    std::vector<standin::Argument> arguments{0.0, 0.0};
    if (method_text) {
        arguments.emplace_back(std::string(*method_text));
    }
    return arguments;
}

std::int32_t first_flagged(const CallFrame* frame, int count)
{
    for (int i = 0; i < count; ++i) {
        if ((frame->arguments[i].invalid & ARGUMENT_INVALID) != 0) {
            return i + 1;
        }
    }
    return 0;
}

}  // namespace

std::filesystem::path module_beside_program(const char* argv0)
{
    try {
        return standin::module_beside(platform::program_file(argv0).parent_path(), 1);
    } catch (const platform::LocationError& e) {
        throw LoadError(e.what());
    }
}

std::filesystem::path module_beside_library(const std::filesystem::path& library_file)
{
    return standin::module_beside(library_file.parent_path(), 0);
}

Host::Host() : state_(loading([] { return std::make_unique<State>(); })) {}
Host::~Host() = default;

LoadedModule::State::State(standin::HostEnvironment& host, const std::filesystem::path& path)
    : module(host, path), entry(ljungcv_entry(module)), functions(registered_functions(module))
{
}

LoadedModule::LoadedModule(Host& host, const std::filesystem::path& path)
    : state_(loading([&] { return std::make_unique<State>(host.state_->environment, path); }))
{
}

LoadedModule::~LoadedModule() = default;

const std::filesystem::path& LoadedModule::path() const
{
    return state_->module.path();
}

const std::vector<RegisteredFunction>& LoadedModule::functions() const
{
    return state_->functions;
}

// The frame a curve reuses, and the entry it calls.
struct Curve::Frame {
    explicit Frame(FunctionEntry function, std::optional<std::string_view> method_text)
        : entry(function), call(frame_arguments(method_text))
    {
    }

    FunctionEntry entry;
    standin::PreparedCall call;
};

Curve::Curve(const LoadedModule& module, std::optional<std::string_view> method_text)
    : method_(method_text ? method_named(*method_text) : DEFAULT_METHOD),
      frame_(std::make_unique<Frame>(ModuleAccess::entry(module), method_text))
{
}

Curve::Curve(const LoadedModule& module, Method method)
    : method_(method),
      frame_(std::make_unique<Frame>(ModuleAccess::entry(module),
                                     method == DEFAULT_METHOD ? std::nullopt
                                                              : std::optional<std::string_view>(method_keyword(method))))
{
}

Curve::~Curve() = default;
Curve::Curve(Curve&&) noexcept = default;
Curve& Curve::operator=(Curve&&) noexcept = default;

Point Curve::at(double n, double alpha)
{
    Point point;
    std::int32_t status = STATUS_NO_RESULT;
    many(1, &n, &alpha, &point.value, &status, &point.rejected);
    point.status = static_cast<Status>(status);
    return point;
}

void Curve::many(std::size_t count, const double* n, const double* alpha, double* values, std::int32_t* statuses,
                 std::int32_t* rejected)
{
    standin::PreparedCall& call = frame_->call;
    const FunctionEntry entry = frame_->entry;
    CallFrame* frame = call.frame();
    const int arguments = call.argument_count();
    for (std::size_t i = 0; i < count; ++i) {
        call.set_number(0, n[i]);
        call.set_number(1, alpha[i]);
        double value = ::MISSING_VALUE;
        const std::int32_t status = entry(frame, &value);
        if (values != nullptr) {
            values[i] = value;
        }
        if (statuses != nullptr) {
            statuses[i] = status;
        }
        if (status == STATUS_INVALID_ARGUMENT) {
            if (rejected != nullptr) {
                rejected[i] = first_flagged(frame, arguments);
            }
            call.clear_flags();
        } else if (rejected != nullptr) {
            rejected[i] = 0;
        }
    }
}

}  // namespace core
