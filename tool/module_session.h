// One loaded module for the command: the stand-in host's environment, the
// module, and LJUNGCV as the host registered it.
#ifndef LJUNGCV_MODULE_SESSION_H
#define LJUNGCV_MODULE_SESSION_H

#include <filesystem>
#include <optional>
#include <string>

#include "domain.h"
#include "standin/call.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace ljungcv {

class ModuleSession {
public:
    // Throws standin::LoadError.
    explicit ModuleSession(const std::filesystem::path& module_path);

    standin::HostEnvironment& host() { return host_; }
    standin::Module& module() { return module_; }
    // LJUNGCV's registration; throws standin::LoadError when the module does
    // not offer it.
    const standin::RegisteredFunction& ljungcv();

    // One evaluation; `method` empty means two arguments.
    standin::Evaluation evaluate(double n, double alpha, const std::optional<std::string>& method);

private:
    standin::HostEnvironment host_;
    standin::Module module_;
};

// One method's values through the module: a frame whose numbers are
// replaced call by call (two arguments for the corrected method, the
// default; three with the keyword L for the asymptotic one).
class Curve final : public CurveSource {
public:
    Curve(ModuleSession& session, Method method);

    CurvePoint at(double n, double alpha) override;
    Method method() const { return method_; }

private:
    Method method_;
    FunctionEntry entry_;
    standin::PreparedCall call_;
};

}  // namespace ljungcv

#endif
