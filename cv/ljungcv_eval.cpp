// The call entry of LJUNGCV(n, alpha [, method]).
//
// Checks the arguments in the order n, alpha, method; the first rejection
// sets that argument's invalid bit and ends the call with MISSING_VALUE and
// STATUS_INVALID_ARGUMENT. Otherwise the chosen method's value comes back
// with STATUS_OK, or MISSING_VALUE with STATUS_NO_RESULT when it has none.
// The host's argument values, its method text included, are never written:
// the invalid bits are the only change to the CallFrame.
#include "cv/ljungcv_eval.h"

#include <cmath>
#include <cstring>

#include "cv/critical_value.h"
#include "module/host_services.h"
#include "text/blank_text.h"

namespace {

// The word buffer holds the longest method text framed by a blank on each side.
constexpr std::int32_t WORD_BUFFER_SIZE = MAX_METHOD_LENGTH + 2;
constexpr std::int32_t MEASURE_ONLY = 'n';

double number_argument(const CallFrame* frame, int i)
{
    double value;
    std::memcpy(&value, frame->arguments[i - 1].value, sizeof value);
    return value;
}

const TextDescriptor* text_argument(const CallFrame* frame, int i)
{
    return static_cast<const TextDescriptor*>(frame->arguments[i - 1].value);
}

std::int32_t reject_argument(CallFrame* frame, int i, double* result)
{
    frame->arguments[i - 1].invalid |= ARGUMENT_INVALID;
    *result = MISSING_VALUE;
    return STATUS_INVALID_ARGUMENT;
}

// Truncates n toward zero into *count. False when the truncated value does
// not fit a 32-bit count (a NaN or an infinity included): such a count is
// never wrapped into a different one.
bool truncate_count(double n, std::int32_t* count)
{
    if (!count_fits(n)) {
        return false;
    }
    *count = static_cast<std::int32_t>(n);
    return true;
}

// Upper-cases the word's `length` characters, which start at word[1], the
// way the host does: through its service when it offers one, else by its
// table. The table path maps all MAX_METHOD_LENGTH character slots of the
// buffer, a fixed loop without branches; the slots past the word are the
// call's own scratch and never looked at. Without a context there is no
// table, and the C locale's letters are used.
void upcase_word(char* word, std::int32_t length)
{
    auto* bytes = reinterpret_cast<std::uint8_t*>(word + 1);
    const HostContext* context = host_context();
    if (context == nullptr) {
        for (std::int32_t i = 0; i < length; ++i) {
            if (bytes[i] >= 'a' && bytes[i] <= 'z') {
                bytes[i] = static_cast<std::uint8_t>(bytes[i] - 'a' + 'A');
            }
        }
        return;
    }
    if (context->text_services != nullptr && context->text_services->upcase_via_service != nullptr) {
        host_upcase(bytes, length);
        return;
    }
    const std::uint8_t* table = context->upcase_table;
    for (std::int32_t i = 0; i < MAX_METHOD_LENGTH; ++i) {
        bytes[i] = table[bytes[i]];
    }
}

}  // namespace

extern "C" std::int32_t ljungcv_eval(CallFrame* frame, double* result)
{
    // 1-2. n: not missing; truncated to a count.
    const double n = number_argument(frame, 1);
    if (is_missing(n)) {
        return reject_argument(frame, 1, result);
    }
    std::int32_t count = 0;
    const bool fits = truncate_count(n, &count);

    // 3. alpha: not missing, 0 <= alpha <= 0.1 (-0.0 passes).
    const double alpha = number_argument(frame, 2);
    if (is_missing(alpha) || alpha < 0.0 || alpha > MAX_ALPHA) {
        return reject_argument(frame, 2, result);
    }

    // 4-8. method: absent means corrected; otherwise a keyword, or a run of
    //      adjacent keywords, after trimming blanks and upper-casing.
    bool asymptotic = false;
    if (frame->argument_count >= 3) {
        const TextDescriptor* text = text_argument(frame, 3);
        std::int32_t length = 0;
        std::int32_t start = 0;
        justify_field(const_cast<char*>(text->chars), text->length, MEASURE_ONLY, &length, &start);
        if (length < 1 || length > MAX_METHOD_LENGTH) {
            return reject_argument(frame, 3, result);
        }

        char word[WORD_BUFFER_SIZE];
        std::memset(word, ' ', sizeof word);
        std::memcpy(word + 1, text->chars + start, static_cast<std::size_t>(length));
        upcase_word(word, length);
        word[length + 1] = ' ';

        if (find_text(METHOD_KEYWORDS, METHOD_KEYWORDS_LENGTH, word, length + 2) < 0) {
            return reject_argument(frame, 3, result);
        }
        asymptotic = word[1] == ASYMPTOTIC_METHOD_LETTER;
    }

    // 9. The value, classified by its pattern alone.
    double value = MISSING_VALUE;
    if (fits) {
        value = asymptotic ? ljung_critical_value(&count, &alpha) : corrected_critical_value(&count, &alpha);
    }
    if (is_missing(value)) {
        *result = MISSING_VALUE;
        return STATUS_NO_RESULT;
    }
    *result = value;
    return STATUS_OK;
}
