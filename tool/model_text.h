// The model of `ljungcv outliers` as its outputs name it: the order, and for
// a model identified from the series, how it was chosen (the search, the
// differencing's evidence, and whether the second identification, on the
// adjusted series, changed it), as text lines and as a JSON object.
#ifndef LJUNGCV_MODEL_TEXT_H
#define LJUNGCV_MODEL_TEXT_H

#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/arima_identification.h"

namespace ljungcv {

// "ARIMA(1,0,0)", "ARIMA(0,1,1)(0,1,1)[12]".
std::string model_name(const core::ArimaOrder& order);

// How the identifications (the series' own, then the adjusted series') chose
// the final model, one line each: how it was chosen, and when the second
// changed the model, what the first had been. Empty without any.
std::vector<std::string> identification_lines(std::span<const core::Identification> identifications);

// The final identification as JSON: the chosen order, constant, the
// differencing's evidence, every candidate fitted, and the series' own
// model with whether the second identification changed it.
nlohmann::ordered_json identification_document(std::span<const core::Identification> identifications);

}  // namespace ljungcv

#endif
