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

}  // namespace ljungcv
