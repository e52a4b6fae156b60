// The call entry of LJUNGCV(n, alpha [, method]).
//
// Checks the arguments in the order n, alpha, method; the first rejection
// sets that argument's invalid bit and ends the call with MISSING_VALUE and
// STATUS_INVALID_ARGUMENT. Otherwise the chosen method's value comes back
// with STATUS_OK, or MISSING_VALUE with STATUS_NO_RESULT when it has none.
// The host's argument values, its method text included, are never written:
// the invalid bits are the only change to the CallFrame.
#include "ljungcv_eval.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <optional>

#include "cv/critical_value.h"
#include "host_services.h"
#include "text/blank_text.h"

namespace {

constexpr std::int32_t MEASURE_ONLY = 'n';

// The value routine of each of the function's methods. A switch rather than
// a table of addresses: a table would need load-time relocation, and a
// damaged relocation could then send an evaluation into the wrong code.
double method_value(LjungcvMethod method, const std::int32_t* n, const double* alpha)
{
    switch (method) {
    case LjungcvMethod::corrected:
        return corrected_critical_value(n, alpha);
    case LjungcvMethod::asymptotic:
        return ljung_critical_value(n, alpha);
    }
    return MISSING_VALUE;
}

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

// The module's steps of reading a method text: its blank-text routines and
// the host's upper-casing.
struct MethodTextSteps {
    static void measure(const char* chars, std::int32_t width, std::int32_t* length, std::int32_t* start)
    {
        // Measuring only: the host's text is never written.
        justify_field(const_cast<char*>(chars), width, MEASURE_ONLY, length, start);
    }
    static void upcase(char* word, std::int32_t length) { upcase_word(word, length); }
    static bool found(const char* framed, std::int32_t framed_length)
    {
        return find_text(METHOD_KEYWORDS, METHOD_KEYWORDS_LENGTH, framed, framed_length) >= 0;
    }
};

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
    if (is_missing(alpha) || alpha < MIN_ALPHA || alpha > MAX_ALPHA) {
        return reject_argument(frame, 2, result);
    }

    // 4-8. method: absent means the default; otherwise a keyword, or a run
    //      of adjacent keywords, after trimming blanks and upper-casing.
    LjungcvMethod method = DEFAULT_METHOD;
    if (frame->argument_count >= 3) {
        const TextDescriptor* text = text_argument(frame, 3);
        MethodTextSteps steps;
        const std::optional<LjungcvMethod> named = read_method_text(text->chars, text->length, steps);
        if (!named) {
            return reject_argument(frame, 3, result);
        }
        method = *named;
    }

    // 9. The value, classified by its pattern alone.
    double value = MISSING_VALUE;
    if (fits) {
        value = method_value(method, &count, &alpha);
    }
    if (is_missing(value)) {
        *result = MISSING_VALUE;
        return STATUS_NO_RESULT;
    }
    *result = value;
    return STATUS_OK;
}
