#include "core/methods.h"

#include <cstddef>

#include "host/ljungcv_function.h"

namespace core {

namespace {

constexpr std::string_view KEYWORDS(METHOD_KEYWORDS, METHOD_KEYWORDS_LENGTH);

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Method method_of_keyword(std::string_view keyword)
{
    return keyword.front() == ASYMPTOTIC_METHOD_LETTER ? Method::asymptotic : Method::corrected;
}

// Calls `visit` with each keyword of the list, in order.
template <typename Visit>
void each_keyword(Visit visit)
{
    std::size_t start = 1;
    while (start < KEYWORDS.size()) {
        const std::size_t end = KEYWORDS.find(' ', start);
        visit(KEYWORDS.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

const char* method_keyword(Method method)
{
    return method == Method::asymptotic ? "L" : "C";
}

const char* method_long_name(Method method)
{
    return method == Method::asymptotic ? "asymptotic" : "corrected";
}

std::string method_title(Method method)
{
    return std::string(method_long_name(method)) + " method (" + method_keyword(method) + ")";
}

std::optional<Method> method_named(std::string_view text)
{
    // Framed by blanks in a fixed buffer: eval asks this for every line.
    text = trimmed(text);
    if (text.empty() || text.size() > static_cast<std::size_t>(MAX_METHOD_LENGTH)) {
        return std::nullopt;
    }
    char framed[MAX_METHOD_LENGTH + 2];
    framed[0] = ' ';
    for (std::size_t i = 0; i < text.size(); ++i) {
        framed[i + 1] = upper(text[i]);
    }
    framed[text.size() + 1] = ' ';
    const std::string_view word(framed, text.size() + 2);
    if (KEYWORDS.find(word) == std::string_view::npos) {
        return std::nullopt;
    }
    return method_of_keyword(word.substr(1));
}

std::optional<std::vector<Method>> methods_named(std::string_view text)
{
    text = trimmed(text);
    std::string upper_text;
    for (const char c : text) {
        upper_text += upper(c);
    }
    if (upper_text == "BOTH") {
        return std::vector<Method>{Method::corrected, Method::asymptotic};
    }
    if (const std::optional<Method> method = method_named(text)) {
        return std::vector<Method>{*method};
    }
    return std::nullopt;
}

std::string method_keywords(Method method)
{
    std::string list;
    each_keyword([&](std::string_view keyword) {
        if (method_of_keyword(keyword) == method) {
            list.append(list.empty() ? "" : ", ").append(keyword);
        }
    });
    return list;
}

std::string every_method_keyword()
{
    std::string list = method_keywords(Method::asymptotic) + ", " + method_keywords(Method::corrected);
    const std::size_t last_comma = list.rfind(", ");
    return list.replace(last_comma, 2, " or ");
}

}  // namespace core
