// What the C interface's opaque handles hold: the host with its module, and
// a fitted model. Internal to libcvhost; several of its files hand them out.
#ifndef CVHOST_HANDLES_H
#define CVHOST_HANDLES_H

#include <memory>
#include <string>
#include <vector>

#include "core/arima.h"
#include "core/ljungcv.h"
#include "core/module_fields.h"

struct cvhost {
    std::unique_ptr<core::LoadedModule> loaded;
    std::vector<core::ModuleField> fields;
    std::string info;  // the fields as "name: value" lines
};

struct cvhost_fit {
    core::ArimaFit result;
};

#endif
