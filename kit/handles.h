// What the C interface's opaque handles hold: the host with its module, a
// fitted model, and what the outlier procedure found. Internal to libcvhost; several of its files hand them out.
#ifndef CVHOST_HANDLES_H
#define CVHOST_HANDLES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/arima.h"
#include "core/arima_identification.h"
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
    core::ArimaOrder order;
    // Where the model was identified, how: the candidates and the
    // differencing's evidence (its fit is `result`), flattened for the
    // accessors' arrays.
    std::optional<core::Identification> identification;
    std::vector<std::int32_t> candidate_orders;  // p, d, q, P, D, Q a candidate
    std::vector<std::int32_t> candidate_constants;
    std::vector<double> candidate_aicc;
    std::vector<double> kpss_statistics;
    std::vector<double> kpss_p_values;
};

struct cvhost_outliers {
    core::OutlierResult result;  // its fit moved to `fit`
    std::vector<std::size_t> index;
    std::vector<std::int32_t> type;
    std::vector<double> effect;
    std::vector<double> tstat;
    cvhost_fit fit;
    std::vector<cvhost_fit> identifications;  // on the series, then on the adjusted series
};

#endif
