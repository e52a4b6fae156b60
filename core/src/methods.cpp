#include "core/methods.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "host/ljungcv_function.h"
#include "text/blank_text.h"

namespace core {

namespace {

static_assert(static_cast<int>(Method::corrected) == static_cast<int>(LjungcvMethod::corrected) &&
              static_cast<int>(Method::asymptotic) == static_cast<int>(LjungcvMethod::asymptotic));

// What the core adds to the function's table of methods, in its order.
struct CoreFacts {
    int fewest_observations;  // the corrected curve is exact from one; Ljung's formula needs two
    std::span<const double> anchors;
};
constexpr std::array<CoreFacts, METHOD_COUNT> CORE_FACTS = {{
    {.fewest_observations = 1, .anchors = CORRECTED_ANCHOR_COUNTS},
    {.fewest_observations = 2, .anchors = {}},
}};

constexpr std::string_view KEYWORDS(METHOD_KEYWORDS, METHOD_KEYWORDS_LENGTH);

const MethodFacts& facts(Method method)
{
    return method_facts(static_cast<LjungcvMethod>(method));
}

// The function's steps of reading a method text, with the C locale's
// letters for the host's upper-casing (the stand-in host's own table).
struct MethodTextSteps {
    static void measure(const char* chars, std::int32_t width, std::int32_t* length, std::int32_t* start)
    {
        justify_field(const_cast<char*>(chars), width, 'n', length, start);  // measures only
    }
    static void upcase(char* word, std::int32_t length)
    {
        for (std::int32_t i = 1; i <= length; ++i) {
            if (word[i] >= 'a' && word[i] <= 'z') {
                word[i] = static_cast<char>(word[i] - 'a' + 'A');
            }
        }
    }
    static bool found(const char* framed, std::int32_t framed_length)
    {
        return find_text(METHOD_KEYWORDS, METHOD_KEYWORDS_LENGTH, framed, framed_length) >= 0;
    }
};

Method method_of_keyword(std::string_view keyword)
{
    for (const MethodFacts& method : METHODS) {
        if (keyword.front() == method.letter) {
            return static_cast<Method>(method.method);
        }
    }
    return DEFAULT_METHOD;
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

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return result;
}

}  // namespace

const Method DEFAULT_METHOD = static_cast<Method>(::DEFAULT_METHOD);

const std::vector<Method>& every_method()
{
    static const std::vector<Method> methods = [] {
        std::vector<Method> all;
        for (const MethodFacts& method : METHODS) {
            all.push_back(static_cast<Method>(method.method));
        }
        return all;
    }();
    return methods;
}

const char* method_keyword(Method method)
{
    return facts(method).keyword;
}

const char* method_long_name(Method method)
{
    return facts(method).long_name;
}

std::string method_title(Method method)
{
    return std::string(method_long_name(method)) + " method (" + method_keyword(method) + ")";
}

int fewest_observations(Method method)
{
    return CORE_FACTS[static_cast<std::size_t>(method)].fewest_observations;
}

std::vector<double> anchor_counts(Method method)
{
    const std::span<const double> anchors = CORE_FACTS[static_cast<std::size_t>(method)].anchors;
    return {anchors.begin(), anchors.end()};
}

std::string keywords_by_method()
{
    std::string list;
    for (const Method method : every_method()) {
        list.append(list.empty() ? "" : ", ").append(method_keywords(method));
    }
    return list;
}

std::optional<Method> method_named(std::string_view text)
{
    // A text longer than any count the host describes is no method.
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        return std::nullopt;
    }
    MethodTextSteps steps;
    const std::optional<LjungcvMethod> method =
        read_method_text(text.data(), static_cast<std::int32_t>(text.size()), steps);
    return method ? std::optional<Method>(static_cast<Method>(*method)) : std::nullopt;
}

std::optional<std::vector<Method>> methods_named(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    const std::string_view trimmed =
        first == std::string_view::npos ? std::string_view() : text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (upper(trimmed) == "BOTH") {
        return every_method();
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
    std::vector<Method> order;
    each_keyword([&](std::string_view keyword) {
        const Method method = method_of_keyword(keyword);
        if (std::find(order.begin(), order.end(), method) == order.end()) {
            order.push_back(method);
        }
    });
    std::string list;
    for (const Method method : order) {
        list.append(list.empty() ? "" : ", ").append(method_keywords(method));
    }
    const std::size_t last_comma = list.rfind(", ");
    return last_comma == std::string::npos ? list : list.replace(last_comma, 2, " or ");
}

}  // namespace core
