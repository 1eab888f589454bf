// "Did you mean": the word a slip of the keyboard away from what was typed.
#pragma once

#include <span>
#include <string_view>

namespace tvx::core {

// The distance between two words, without regard to the case of ASCII letters: the fewest
// letters inserted, deleted, changed or swapped with their neighbour that turn one into the other.
std::size_t Distance(std::string_view a, std::string_view b);

// The candidate closest to `word`: at most about a third of its letters changed, or `word` the
// start of exactly one candidate; "" when none is close. Case does not count.
std::string_view Closest(std::string_view word, std::span<const std::string_view> candidates);

}  // namespace tvx::core
