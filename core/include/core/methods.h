// The two methods of LJUNGCV and their names, as the function reads them.
// The keywords themselves come from the function's own facts.
#ifndef CORE_METHODS_H
#define CORE_METHODS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

enum class Method { corrected, asymptotic };

// "C" or "L": the shortest keyword of the method.
const char* method_keyword(Method method);
// "corrected" or "asymptotic".
const char* method_long_name(Method method);
// "corrected method (C)".
std::string method_title(Method method);

// The method a text selects as the function reads it: blanks trimmed, any
// case, a keyword or a run of adjacent keywords ("L C", "C CORR"). Nothing
// for any other text. Without a text, the function uses the corrected one.
std::optional<Method> method_named(std::string_view text);

// The same, plus "both" (any case): the corrected, then the asymptotic one.
std::optional<std::vector<Method>> methods_named(std::string_view text);

// The method's keywords in the function's order, joined by ", ".
std::string method_keywords(Method method);
// Every keyword, "L, LJUNG, C, CORR, CORRECT or CORRECTED".
std::string every_method_keyword();

}  // namespace core

#endif
