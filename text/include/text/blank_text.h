// Utilities for host text: fixed-width fields filled out with blanks and
// never NUL-terminated. The blank (0x20) is the only fill byte; tabs, NULs
// and every other byte are text.
#ifndef CVMODULE_TEXT_BLANK_TEXT_H
#define CVMODULE_TEXT_BLANK_TEXT_H

#include <cstdint>

// Measures the non-blank part of a field of `width` bytes and, by `mode`,
// moves it: 'C'/'c' to the centre (an odd leftover blank goes right), 'L'/'l'
// to the left, 'R'/'r' to the right; any other mode only measures and leaves
// the field untouched. Writes the trimmed length (first to last non-blank)
// and the position of the first non-blank byte afterwards, each only when
// its pointer is not null; both are 0 for an empty or all-blank field.
void justify_field(char* field, std::int32_t width, std::int32_t mode, std::int32_t* length,
                   std::int32_t* position);

// Position (0-based) of the first occurrence of the word in the text, or -1.
// A word length of 0 (or a null word) matches at 0; a negative word length
// means the word ends at its first NUL.
std::int32_t find_text(const char* text, std::int32_t text_length, const char* word,
                       std::int32_t word_length);

#endif
