// Lines that are no keyword lines are comments. A misspelt or lower-case
// keyword would thus silently drop a test or a data set from the run; such
// lines are recognised by their resemblance to a keyword and stop the run,
// while ordinary comments (sentences, notes, titles) pass without a word. A
// line beginning with "#" (or "//") is a comment whatever follows, so that a
// keyword line can be put aside by writing "#" before it.

#include <algorithm>
#include <cctype>
#include <vector>

#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

// The part of a line that would hold a keyword: up to its first tabulation or
// digit (where arguments begin), without surrounding blanks.
std::string keyword_part(const std::string& line) {
  std::size_t end = 0;
  while (end < line.size() && line[end] != '\t' && line[end] != '\n' && line[end] != '\r' &&
         !std::isdigit(static_cast<unsigned char>(line[end]))) {
    ++end;
  }
  std::size_t begin = 0;
  while (begin < end && line[begin] == ' ') ++begin;
  while (end > begin && line[end - 1] == ' ') --end;
  return line.substr(begin, end - begin);
}

// True when the first word is written in capitals, as keywords are: at least
// two letters, and no lower-case letter.
bool first_word_in_capitals(const std::string& text) {
  int letters = 0;
  for (const char c : text) {
    if (c == ' ') break;
    if (std::islower(static_cast<unsigned char>(c))) return false;
    if (std::isupper(static_cast<unsigned char>(c))) ++letters;
  }
  return letters >= 2;
}

// Smallest edit distance between `keyword` and a beginning of `text` (so that
// a file name or a note after the keyword does not count).
int prefix_distance(const std::string& text, const std::string& keyword) {
  const std::size_t n = std::min(text.size(), keyword.size() + 2);
  const std::size_t m = keyword.size();
  std::vector<int> previous(m + 1);
  std::vector<int> current(m + 1);
  for (std::size_t j = 0; j <= m; ++j) previous[j] = static_cast<int>(j);
  int best = previous[m];
  for (std::size_t i = 1; i <= n; ++i) {
    current[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= m; ++j) {
      const int substitution = previous[j - 1] + (text[i - 1] == keyword[j - 1] ? 0 : 1);
      current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
    }
    best = std::min(best, current[m]);
    std::swap(previous, current);
  }
  return best;
}

}  // namespace

const char* resembled_keyword(const std::string& line) {
  const std::vector<KeywordRecord>& keywords = keyword_table();
  const std::size_t first = line.find_first_not_of(" \t");
  if (first != std::string::npos && (line[first] == '#' || line.compare(first, 2, "//") == 0)) return nullptr;
  const std::string part = keyword_part(line);
  if (part.size() < 2) return nullptr;
  std::string upper = part;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // The keyword itself in another case (or after blanks): the whole keyword,
  // or its recognised beginning continued by letters ("individuals"), but
  // not the first words of a sentence ("Plot list of the dune meadows").
  for (const KeywordRecord& keyword : keywords) {
    const auto length = static_cast<std::size_t>(keyword.compared_length);
    if (upper == keyword.keyword ||
        (upper.compare(0, length, keyword.keyword, 0, length) == 0 && upper.find(' ', length) == std::string::npos)) {
      return keyword.keyword;
    }
  }
  // A typo in a line written in capitals: one or two letters away.
  if (!first_word_in_capitals(part)) return nullptr;
  const char* closest = nullptr;
  int closest_distance = 0;
  for (const KeywordRecord& keyword : keywords) {
    const std::string text(keyword.keyword);
    const int allowed = text.size() < 12 ? 1 : 2;
    const int distance = prefix_distance(upper, text);
    if (distance <= allowed && (!closest || distance < closest_distance)) {
      closest = keyword.keyword;
      closest_distance = distance;
    }
  }
  return closest;
}

}  // namespace quorvel::instructions
