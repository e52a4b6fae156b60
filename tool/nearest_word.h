// The word a user most likely meant: for a mistyped subcommand, the nearest
// of the command's own by edit distance.
#ifndef LJUNGCV_NEAREST_WORD_H
#define LJUNGCV_NEAREST_WORD_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ljungcv {

// The optimal string alignment distance, ignoring ASCII case: the fewest
// insertions, deletions, substitutions and swaps of two neighbouring
// letters that make one word the other ("tabel" is 1 from "table").
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidate `word` is near: at most 2 edits away and fewer than half
// the candidate's letters (so that "x" is near nothing), or the start of a
// candidate in at least 2 letters ("lim" for "limits"). The nearest wins,
// the first of equals; nothing when none is near.
std::optional<std::string> nearest_word(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace ljungcv

#endif
