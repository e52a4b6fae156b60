// What the core keeps of a loaded module behind its public types: the
// stand-in host's module and LJUNGCV's entry. For the core's own sources.
#ifndef CORE_MODULE_STATE_H
#define CORE_MODULE_STATE_H

#include <vector>

#include "core/ljungcv.h"
#include "host/host_toolkit.h"
#include "standin/host_environment.h"
#include "standin/module.h"

namespace core {

struct Host::State {
    standin::HostEnvironment environment;
};

struct LoadedModule::State {
    State(standin::HostEnvironment& host, const std::filesystem::path& path);

    standin::Module module;
    FunctionEntry entry;
    std::vector<RegisteredFunction> functions;
};

struct ModuleAccess {
    static standin::Module& module(const LoadedModule& loaded) { return loaded.state_->module; }
    static FunctionEntry entry(const LoadedModule& loaded) { return loaded.state_->entry; }
};

}  // namespace core

#endif
