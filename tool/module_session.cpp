#include "module_session.h"

#include <vector>

namespace ljungcv {

ModuleSession::ModuleSession(const std::filesystem::path& module_path) : module_(host_, module_path) {}

const standin::RegisteredFunction& ModuleSession::ljungcv()
{
    const standin::RegisteredFunction* function = module_.find_function(FUNCTION_NAME);
    if (function == nullptr) {
        throw standin::LoadError("'" + module_.path().string() + "' does not offer " + FUNCTION_NAME);
    }
    return *function;
}

standin::Evaluation ModuleSession::evaluate(double n, double alpha, const std::optional<std::string>& method)
{
    std::vector<standin::Argument> arguments{n, alpha};
    if (method) {
        arguments.emplace_back(*method);
    }
    standin::PreparedCall call(arguments);
    return call.invoke(ljungcv().entry);
}

namespace {

// The corrected method is the function's default: two arguments select it
// without a method text to measure and look up on every call.
std::vector<standin::Argument> curve_arguments(Method method)
{
    if (method == Method::corrected) {
        return {0.0, 0.0};
    }
    return {0.0, 0.0, std::string(method_keyword(method))};
}

}  // namespace

Curve::Curve(ModuleSession& session, Method method)
    : method_(method), entry_(session.ljungcv().entry), call_(curve_arguments(method))
{
}

CurvePoint Curve::at(double n, double alpha)
{
    call_.set_number(0, n);
    call_.set_number(1, alpha);
    call_.clear_flags();
    CurvePoint point{0.0, 0};
    point.status = entry_(call_.frame(), &point.value);
    return point;
}

}  // namespace ljungcv
