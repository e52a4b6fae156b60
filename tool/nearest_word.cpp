#include "nearest_word.h"

#include <algorithm>
#include <limits>

namespace ljungcv {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr std::size_t MAX_EDITS = 2;
constexpr std::size_t MIN_PREFIX = 2;

bool starts(std::string_view word, std::string_view candidate)
{
    return word.size() >= MIN_PREFIX && word.size() <= candidate.size() &&
           edit_distance(word, candidate.substr(0, word.size())) == 0;
}

}  // namespace

// Wagner and Fischer's table, with Damerau's swap of neighbours; d[i][j] is
// the distance between the first i letters of a and the first j of b.
std::size_t edit_distance(std::string_view a, std::string_view b)
{
    const std::size_t columns = b.size() + 1;
    std::vector<std::size_t> d((a.size() + 1) * columns);
    const auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * columns + j]; };
    for (std::size_t i = 0; i <= a.size(); ++i) {
        at(i, 0) = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        at(0, j) = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
            }
        }
    }
    return at(a.size(), b.size());
}

std::optional<std::string> nearest_word(std::string_view word, const std::vector<std::string>& candidates)
{
    std::optional<std::string> nearest;
    std::size_t best = std::numeric_limits<std::size_t>::max();
    for (const std::string& candidate : candidates) {
        const std::size_t distance = starts(word, candidate) ? 0 : edit_distance(word, candidate);
        const bool near = distance <= MAX_EDITS && 2 * distance < candidate.size();
        if (near && distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}

}  // namespace ljungcv
