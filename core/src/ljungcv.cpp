#include "core/ljungcv.h"

#include <string>
#include <vector>

#include "host/ljungcv_function.h"

namespace core {

namespace {

FunctionEntry ljungcv_entry(standin::Module& module)
{
    const standin::RegisteredFunction* function = module.find_function(LJUNGCV_FUNCTION_NAME);
    std::string why = "'";
    why.append(module.path().string()).append("'");
    if (function == nullptr) {
        throw standin::LoadError(why.append(" does not offer ").append(LJUNGCV_FUNCTION_NAME));
    }
    if (function->min_args > 2 || function->max_args < 3) {
        why.append(": ").append(function->name).append(" takes ").append(std::to_string(function->min_args));
        throw standin::LoadError(why.append(" to ").append(std::to_string(function->max_args)).append(" arguments, not 2 and 3"));
    }
    return function->entry;
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

LoadedModule::LoadedModule(standin::HostEnvironment& host, const std::filesystem::path& path)
    : module_(host, path), entry_(ljungcv_entry(module_))
{
}

Curve::Curve(FunctionEntry entry, std::optional<std::string_view> method_text)
    : entry_(entry),
      method_(method_text ? method_named(*method_text) : Method::corrected),
      call_(frame_arguments(method_text))
{
}

Curve::Curve(FunctionEntry entry, Method method)
    : entry_(entry),
      method_(method),
      call_(frame_arguments(method == Method::corrected ? std::nullopt
                                                        : std::optional<std::string_view>(method_keyword(method))))
{
}

Point Curve::at(double n, double alpha)
{
    Point point;
    many(1, &n, &alpha, &point.value, &point.status, &point.rejected);
    return point;
}

void Curve::many(std::size_t count, const double* n, const double* alpha, double* values, std::int32_t* statuses,
                 std::int32_t* rejected)
{
    CallFrame* frame = call_.frame();
    const int arguments = call_.argument_count();
    for (std::size_t i = 0; i < count; ++i) {
        call_.set_number(0, n[i]);
        call_.set_number(1, alpha[i]);
        double value = MISSING_VALUE;
        const std::int32_t status = entry_(frame, &value);
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
            call_.clear_flags();
        } else if (rejected != nullptr) {
            rejected[i] = 0;
        }
    }
}

}  // namespace core
