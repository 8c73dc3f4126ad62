// Hostile request values, written by us as data: command injection, argument
// injection, traversal and oversize texts, each aimed at leaving a trace
// (the marker file "<root>/pwned", an option a platform program would obey,
// a file outside the folder a route works in).
#pragma once

#include <string>
#include <vector>

namespace nvr::test {

// The device path of the marker file that an injected command creates. The
// commands name it through $NVR_ROOT, which the program's shell sees.
inline const std::string kMarker = "/pwned";

// About a thousand values, the same every run, no two equal. Some hold a NUL
// byte: a caller that cannot carry one (an environment variable) cuts there.
const std::vector<std::string>& hostile_corpus();

// The value as the text of a JSON string, quotes included ("\u0000" for NUL).
std::string json_quoted(const std::string& value);

// The value with every byte outside [A-Za-z0-9._~-] written as %XX.
std::string url_encoded(const std::string& value);

// The values `row` of `rows` tries: every value is tried by exactly one row
// of a group of `rows` rows, and every row gets a spread of all kinds.
std::vector<std::string> corpus_share(size_t row, size_t rows);

}  // namespace nvr::test
