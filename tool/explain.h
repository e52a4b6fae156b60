// Plain-language reasons for the module's answers, for messages on stderr.
#ifndef LJUNGCV_EXPLAIN_H
#define LJUNGCV_EXPLAIN_H

#include <optional>
#include <string>

#include "standin/call.h"

namespace ljungcv {

// Why argument `argument` (1-based) of LJUNGCV(n, alpha [, method]) was
// rejected.
std::string explain_rejection(int argument, double n, double alpha, const std::optional<std::string>& method);

// Why LJUNGCV(n, alpha [, method]) has no value.
std::string explain_no_result(double n, double alpha, const std::optional<std::string>& method);

// "asymptotic (L)" or "corrected (C)", from a method text the module accepted
// (or none).
std::string method_name(const std::optional<std::string>& method);

}  // namespace ljungcv

#endif
