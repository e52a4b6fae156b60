// What the C interface's opaque handles hold: the host with its module, a
// fitted model, and what the outlier procedure found. Internal to libcvhost; several of its files hand them out.
#ifndef CVHOST_HANDLES_H
#define CVHOST_HANDLES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/arima.h"
#include "core/ljungcv.h"
#include "core/module_fields.h"
#include "core/outlier_procedure.h"

struct cvhost {
    std::unique_ptr<core::LoadedModule> loaded;
    std::vector<core::ModuleField> fields;
    std::string info;  // the fields as "name: value" lines
};

struct cvhost_fit {
    core::ArimaFit result;
};

struct cvhost_outliers {
    core::OutlierResult result;  // its fit moved to `fit`
    std::vector<std::size_t> index;
    std::vector<std::int32_t> type;
    std::vector<double> effect;
    std::vector<double> tstat;
    cvhost_fit fit;
};

#endif
