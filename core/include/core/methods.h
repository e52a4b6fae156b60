// The methods of LJUNGCV and their names, as the function reads them. The
// keywords, letters and long names come from the function's own table of
// methods; this is the core's view of it.
#ifndef CORE_METHODS_H
#define CORE_METHODS_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// In the function's order of methods, which indexes every per-method fact.
enum class Method { corrected, asymptotic };

// Every method, in that order.
const std::vector<Method>& every_method();
// The method the function uses without a method text.
extern const Method DEFAULT_METHOD;

// "C" or "L": the shortest keyword of the method.
const char* method_keyword(Method method);
// "corrected" or "asymptotic".
const char* method_long_name(Method method);
// "corrected method (C)".
std::string method_title(Method method);
// The fewest observations the method has a value for.
int fewest_observations(Method method);
// The counts where the method's curve is fixed by construction (fitted or
// exact there); none for a method that is a formula throughout.
std::vector<double> anchor_counts(Method method);
// Every method's keywords, the methods in the function's order: "C, CORR,
// CORRECT, CORRECTED, L, LJUNG".
std::string keywords_by_method();

// The method a text selects as the function reads it: blanks trimmed, any
// case, a keyword or a run of adjacent keywords ("L C", "C CORR"). Nothing
// for any other text.
std::optional<Method> method_named(std::string_view text);

// The same, plus "both" (any case): every method, in the function's order.
std::optional<std::vector<Method>> methods_named(std::string_view text);

// The method's keywords in the function's order, joined by ", ".
std::string method_keywords(Method method);
// Every keyword, "L, LJUNG, C, CORR, CORRECT or CORRECTED": grouped by
// method, the methods in the order their first keyword comes in the list.
std::string every_method_keyword();

}  // namespace core

#endif
