#pragma once
// "Did you mean": the known key nearest to a misspelt one, so that a typo in the
// configuration gets the right name in its error line.
#include <optional>
#include <string>
#include <vector>

// The candidate that `key` is most likely a misspelling of: the same letters in another
// case, or at most two letters added, dropped or changed (one for a short key). nullopt
// when none is that near.
std::optional<std::string> NearestKey(const std::string& key, const std::vector<std::string>& candidates);

// "unknown key 'KEY'", with "; did you mean 'NEAR'?" when a candidate is near.
std::string UnknownKeyProblem(const std::string& shown, const std::string& key,
                              const std::vector<std::string>& candidates);
