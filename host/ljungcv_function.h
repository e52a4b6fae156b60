// What LJUNGCV(n, alpha [, method]) itself defines, for the module that
// implements it and for every host-side program that explains its answers.
// Written here once; nothing else restates these facts.
#ifndef CVMODULE_HOST_LJUNGCV_FUNCTION_H
#define CVMODULE_HOST_LJUNGCV_FUNCTION_H

#include <cstdint>

// The name under which the module registers the function.
inline constexpr char LJUNGCV_FUNCTION_NAME[] = "LJUNGCV";

// The method keywords, framed and separated by single blanks (34 bytes). A
// method text is accepted when, trimmed and upper-cased and framed by
// blanks, it occurs here: a keyword or a run of adjacent keywords. The run's
// first letter selects the method: L the asymptotic one, C the corrected one.
inline constexpr char METHOD_KEYWORDS[] = " L C CORR CORRECT LJUNG CORRECTED ";
inline constexpr std::int32_t METHOD_KEYWORDS_LENGTH = sizeof(METHOD_KEYWORDS) - 1;
static_assert(METHOD_KEYWORDS_LENGTH == 34);
inline constexpr char ASYMPTOTIC_METHOD_LETTER = 'L';

// The longest method text, first to last non-blank, the function reads.
inline constexpr std::int32_t MAX_METHOD_LENGTH = 9;

// Levels the function accepts: 0 <= alpha <= MAX_ALPHA (alpha 0 has no value).
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
