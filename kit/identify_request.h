// The identification as the C interface's options describe it, read and
// checked once for every call that identifies a model (the identification
// itself and the outlier procedure), and the fit object that carries it.
#ifndef CVHOST_IDENTIFY_REQUEST_H
#define CVHOST_IDENTIFY_REQUEST_H

#include "core/arima_identification.h"
#include "cvmodule/cvhost.h"
#include "handles.h"

namespace cvhost_internal {

// Throws core::ArimaInputError naming the field and the rule.
core::IdentificationOptions identification_options_of(const cvhost_identify_options& options);

// The fit object of an identified model: its fit, its order and the
// evidence it was chosen on.
cvhost_fit identified_fit(core::Identification identification);

}  // namespace cvhost_internal

#endif
