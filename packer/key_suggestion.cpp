#include "packer/key_suggestion.h"

#include <algorithm>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Letters added, dropped or changed to turn `a` into `b`, ignoring case.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::optional<std::string> NearestKey(const std::string& key, const std::vector<std::string>& candidates) {
  const size_t allowed = key.size() <= 4 ? 1 : 2;
  std::optional<std::string> nearest;
  size_t best = allowed + 1;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(key, candidate);
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

std::string UnknownKeyProblem(const std::string& shown, const std::string& key,
                              const std::vector<std::string>& candidates) {
  std::string problem = "unknown key '" + shown + key + "'";
  if (auto nearest = NearestKey(key, candidates)) problem += "; did you mean '" + shown + *nearest + "'?";
  return problem;
}
