#include "suggest.h"

#include <algorithm>
#include <vector>

namespace tvx::core {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(std::string_view text, std::string_view start) {
  if (start.size() > text.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (Lower(text[i]) != Lower(start[i])) return false;
  }
  return true;
}

}  // namespace

std::size_t Distance(std::string_view a, std::string_view b) {
  // Three rows of the table: an adjacent swap looks two rows back.
  const std::size_t n = b.size();
  std::vector<std::size_t> before(n + 1);
  std::vector<std::size_t> last(n + 1);
  std::vector<std::size_t> row(n + 1);
  for (std::size_t j = 0; j <= n; ++j)
    last[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= n; ++j) {
      const bool same = Lower(a[i - 1]) == Lower(b[j - 1]);
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
          Lower(a[i - 2]) == Lower(b[j - 1])) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[n];
}

std::string_view Closest(std::string_view word, std::span<const std::string_view> candidates) {
  std::string_view best;
  std::size_t bestDistance = word.size() / 3 + 1;
  std::size_t extending = 0;
  std::string_view extended;
  for (const std::string_view c : candidates) {
    if (!word.empty() && StartsWith(c, word)) {
      ++extending;
      extended = c;
    }
    // The distance is at least the difference in length: a word much longer or shorter than
    // the candidate is passed over without the table (a word of kilobytes costs nothing).
    const std::size_t most = std::min(bestDistance - 1, c.size() / 3 + 1);
    const std::size_t apart =
        word.size() > c.size() ? word.size() - c.size() : c.size() - word.size();
    if (apart > most) continue;
    const std::size_t d = Distance(word, c);
    if (d < bestDistance && d <= c.size() / 3 + 1) {
      best = c;
      bestDistance = d;
    }
  }
  if (best.empty() && extending == 1) return extended;
  return best;
}

}  // namespace tvx::core
