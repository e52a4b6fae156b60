// What LJUNGCV(n, alpha [, method]) itself defines, for the module that
// implements it and for every host-side program that explains its answers.
// Written here once; nothing else restates these facts.
#ifndef CVMODULE_HOST_LJUNGCV_FUNCTION_H
#define CVMODULE_HOST_LJUNGCV_FUNCTION_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

// The name under which the module registers the function.
inline constexpr char LJUNGCV_FUNCTION_NAME[] = "LJUNGCV";

// The method keywords, framed and separated by single blanks (34 bytes). A
// method text is accepted when, trimmed and upper-cased and framed by
// blanks, it occurs here: a keyword or a run of adjacent keywords. The run's
// first letter selects the method (see METHODS).
inline constexpr char METHOD_KEYWORDS[] = " L C CORR CORRECT LJUNG CORRECTED ";
inline constexpr std::int32_t METHOD_KEYWORDS_LENGTH = sizeof(METHOD_KEYWORDS) - 1;
static_assert(METHOD_KEYWORDS_LENGTH == 34);

// The function's methods. Every per-method fact, here and in the layers
// that build on the function (the module's value routines, the core's
// titles and stretches), is a table indexed in this order.
enum class LjungcvMethod : std::uint8_t { corrected, asymptotic };
inline constexpr std::size_t METHOD_COUNT = 2;

struct MethodFacts {
    LjungcvMethod method;
    char letter;            // the first letter of its keywords, which selects it
    const char* keyword;    // its shortest keyword
    const char* long_name;  // "corrected": "the corrected method"
};

inline constexpr MethodFacts METHODS[METHOD_COUNT] = {
    {.method = LjungcvMethod::corrected, .letter = 'C', .keyword = "C", .long_name = "corrected"},
    {.method = LjungcvMethod::asymptotic, .letter = 'L', .keyword = "L", .long_name = "asymptotic"},
};

// Without a method text the function uses this one.
inline constexpr LjungcvMethod DEFAULT_METHOD = LjungcvMethod::corrected;

constexpr const MethodFacts& method_facts(LjungcvMethod method)
{
    return METHODS[static_cast<std::size_t>(method)];
}

// The counts where the corrected method's curve is fixed: exact for one
// and two observations, Ljung's value at 100 and 200.
inline constexpr double CORRECTED_ANCHOR_COUNTS[] = {1.0, 2.0, 100.0, 200.0};

// The longest method text, first to last non-blank, the function reads.
inline constexpr std::int32_t MAX_METHOD_LENGTH = 9;

// How the function reads a method text: measure it (first and last
// non-blank), refuse an empty one or one longer than MAX_METHOD_LENGTH, copy
// it between two blanks, upper-case it the host's way, find the framed word
// in METHOD_KEYWORDS, and let its first letter select the method. The
// caller brings the steps that belong to its layer, as an object with
//   void measure(const char* chars, std::int32_t width, std::int32_t* length, std::int32_t* start);
//   void upcase(char* word, std::int32_t length);   // word[1..length]
//   bool found(const char* framed, std::int32_t framed_length);
// The module brings its blank-text routines and the host's upper-casing;
// the core the same routines. Nothing for a text the function rejects.
template <typename Steps>
std::optional<LjungcvMethod> read_method_text(const char* chars, std::int32_t width, Steps& steps)
{
    std::int32_t length = 0;
    std::int32_t start = 0;
    steps.measure(chars, width, &length, &start);
    if (length < 1 || length > MAX_METHOD_LENGTH) {
        return std::nullopt;
    }
    char word[MAX_METHOD_LENGTH + 2];
    std::memset(word, ' ', sizeof word);
    std::memcpy(word + 1, chars + start, static_cast<std::size_t>(length));
    steps.upcase(word, length);
    word[length + 1] = ' ';
    if (!steps.found(word, length + 2)) {
        return std::nullopt;
    }
    for (const MethodFacts& facts : METHODS) {
        if (word[1] == facts.letter) {
            return facts.method;
        }
    }
    return std::nullopt;
}

// Levels the function accepts: MIN_ALPHA <= alpha <= MAX_ALPHA (-0.0 passes;
// alpha 0 has no value).
inline constexpr double MIN_ALPHA = 0.0;
inline constexpr double MAX_ALPHA = 0.1;

// n is truncated toward zero to a 32-bit signed count; a truncation outside
// (SMALLEST_COUNT - 1, LARGEST_COUNT + 1) has no value, it is never wrapped.
inline constexpr double SMALLEST_COUNT = -2147483648.0;
inline constexpr double LARGEST_COUNT = 2147483647.0;

// Whether n truncates to such a count (false for a NaN or an infinity).
constexpr bool count_fits(double n)
{
    return n > SMALLEST_COUNT - 1.0 && n < LARGEST_COUNT + 1.0;
}

#endif
