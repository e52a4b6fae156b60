// Fuzzing the blank-padded text utilities against a reference model.
//
// Every field, text and word lives in a heap block of exactly its size, so
// ASan stops the run at any read or write outside it.
//
// Input layout (short inputs are padded with zero bytes):
//   0      routine: even justify_field, odd find_text
// justify_field:
//   1      mode: below 0xF0 the byte itself (letters C, L, R in both
//          cases, 'n', anything else); from 0xF0 on the 32-bit value in
//          the next 4 bytes, any integer
//   2      bit 0 no length result, bit 1 no position result (null pointers)
//   3-     the field, any bytes; its width is what is left, 0 included
// find_text:
//   1      word length: the word is the next min(byte, rest) bytes
//   2      bit 0: pass the word NUL-terminated with a negative length;
//          bit 1: pass a null word with length 0
//   3-     the word, then the text
//
// The model: justify_field leaves the trimmed text (first to last non-blank
// byte) at position floor((width - length) / 2) for C, 0 for L, width -
// length for R and where it was for any other mode, with every other byte a
// blank, and a field of blanks alone untouched with 0 and 0; find_text is
// std::string_view::find, with 0 for an empty word and -1 for an empty text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "text/blank_text.h"
#include "invariant.h"

namespace {

constexpr std::size_t HEADER_SIZE = 3;
constexpr std::size_t LARGEST_INPUT = 1 << 20;  // far beyond any width the module meets
constexpr std::int32_t UNWRITTEN = -777;

void fuzz_justify(const std::uint8_t* header, const std::uint8_t* rest, std::size_t rest_size)
{
    std::int32_t mode = header[1];
    if (header[1] >= 0xF0) {
        std::uint32_t raw = 0;
        for (std::size_t i = 0; i < 4 && i < rest_size; ++i) {
            raw |= static_cast<std::uint32_t>(rest[i]) << (8 * i);
        }
        mode = static_cast<std::int32_t>(raw);
        if (rest_size > 4) {
            rest += 4;
            rest_size -= 4;
        } else {
            rest = nullptr;
            rest_size = 0;
        }
    }
    const bool want_length = (header[2] & 1) == 0;
    const bool want_position = (header[2] & 2) == 0;

    const auto width = static_cast<std::int32_t>(rest_size);
    auto field = std::make_unique<char[]>(rest_size);
    std::copy(rest, rest + rest_size, field.get());
    const std::string before(field.get(), rest_size);

    // The model.
    std::string expected = before;
    std::int32_t expected_length = 0;
    std::int32_t expected_position = 0;
    const std::size_t first = before.find_first_not_of(' ');
    if (first != std::string::npos) {
        const std::size_t last = before.find_last_not_of(' ');
        const std::size_t length = last - first + 1;
        std::size_t position = first;
        switch (mode) {
        case 'C':
        case 'c':
            position = (rest_size - length) / 2;
            break;
        case 'L':
        case 'l':
            position = 0;
            break;
        case 'R':
        case 'r':
            position = rest_size - length;
            break;
        default:
            break;
        }
        expected.assign(rest_size, ' ');
        expected.replace(position, length, before, first, length);
        expected_length = static_cast<std::int32_t>(length);
        expected_position = static_cast<std::int32_t>(position);
    }

    std::int32_t length = UNWRITTEN;
    std::int32_t position = UNWRITTEN;
    justify_field(field.get(), width, mode, want_length ? &length : nullptr, want_position ? &position : nullptr);

    check(std::string_view(field.get(), rest_size) == expected, "justify_field: field as the model has it");
    check(length == (want_length ? expected_length : UNWRITTEN), "justify_field: trimmed length");
    check(position == (want_position ? expected_position : UNWRITTEN), "justify_field: position");
}

void fuzz_find(const std::uint8_t* header, const std::uint8_t* rest, std::size_t rest_size)
{
    const std::size_t word_size = std::min<std::size_t>(header[1], rest_size);
    const bool terminated = (header[2] & 1) != 0;
    const bool null_word = (header[2] & 2) != 0;
    const std::size_t text_size = rest_size - word_size;

    auto text = std::make_unique<char[]>(text_size);
    std::copy(rest + word_size, rest + rest_size, text.get());
    const std::string text_before(text.get(), text_size);

    // A NUL-terminated word is its bytes up to its first NUL, in a block
    // that ends with the terminator.
    auto word = std::make_unique<char[]>(word_size + (terminated ? 1 : 0));
    std::copy(rest, rest + word_size, word.get());
    std::int32_t word_length = static_cast<std::int32_t>(word_size);
    std::string word_text(word.get(), word_size);
    const char* word_pointer = word.get();
    if (null_word) {
        word_pointer = nullptr;
        word_length = 0;
        word_text.clear();
    } else if (terminated) {
        word[word_size] = '\0';
        word_length = -1 - static_cast<std::int32_t>(header[1] & 0x7F);
        word_text.assign(word.get(), std::strlen(word.get()));
    }
    const std::string word_before(word.get(), word_size);

    std::int32_t expected = -1;
    if (word_text.empty() && (word_length == 0 || word_pointer == nullptr)) {
        expected = 0;
    } else if (text_size > 0) {
        const std::size_t at = std::string_view(text_before).find(word_text);
        expected = at == std::string_view::npos ? -1 : static_cast<std::int32_t>(at);
    }

    const std::int32_t found = find_text(text.get(), static_cast<std::int32_t>(text_size), word_pointer, word_length);
    check(found == expected, "find_text: position as std::string_view::find has it");
    check(std::string_view(text.get(), text_size) == text_before, "find_text: the text is unchanged");
    check(std::string_view(word.get(), word_size) == word_before, "find_text: the word is unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > LARGEST_INPUT) {
        return 0;
    }
    std::uint8_t header[HEADER_SIZE] = {};
    std::memcpy(header, data, size < HEADER_SIZE ? size : HEADER_SIZE);
    const std::uint8_t* rest = size > HEADER_SIZE ? data + HEADER_SIZE : nullptr;
    const std::size_t rest_size = size > HEADER_SIZE ? size - HEADER_SIZE : 0;
    if ((header[0] & 1) == 0) {
        fuzz_justify(header, rest, rest_size);
    } else {
        fuzz_find(header, rest, rest_size);
    }
    return 0;
}
