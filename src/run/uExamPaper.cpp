// uExamPaper - an épreuve of a run. See the header.
#include "run/uExamPaper.h"

#include <algorithm>
#include <charconv>

namespace {

// A name as a French reader says it: lower case, without accents, ligatures spelt out, one
// space between words and none around them, one kind of apostrophe.
std::string Folded(const std::string &name) {
  // Windows-1252 0xC0 to 0xFF, lower case and without its accent; "" for × and ÷.
  static const char *const latin[64] = {
      "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
      "d", "n", "o", "o", "o", "o", "o", "",  "o", "u", "u", "u", "u", "y", "th", "ss",
      "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
      "d", "n", "o", "o", "o", "o", "o", "",  "o", "u", "u", "u", "u", "y", "th", "y"};
  std::string folded;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    const char same[2] = {c, '\0'}, lower[2] = {char(u + 0x20), '\0'};
    const char *part = same;
    if (u >= 'A' && u <= 'Z') part = lower;
    else if (u >= 0xC0 && *latin[u - 0xC0]) part = latin[u - 0xC0];
    else if (u == 0x8A || u == 0x9A) part = "s";
    else if (u == 0x8E || u == 0x9E) part = "z";
    else if (u == 0x8C || u == 0x9C) part = "oe";
    else if (u == 0x9F) part = "y";
    else if (u == 0x91 || u == 0x92 || u == 0xB4 || u == 0x60) part = "'";
    else if (u == 0xA0) part = " ";
    if (*part == ' ' && (folded.empty() || folded.back() == ' ')) continue;
    folded += part;
  }
  if (!folded.empty() && folded.back() == ' ') folded.pop_back();
  return folded;
}

// Below the space, DEL, and the five bytes that Windows-1252 gives no character.
bool Refused(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F || u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
}

}  // namespace

std::string PaperName(const std::string &name, size_t row) {
  if (!name.empty()) return name;
  std::string shown = "Épreuve ";
  return shown += std::to_string(row + 1);
}

std::string PaperLine(const TExamPaper &paper) {
  return paper.Name + '\t' + std::to_string(paper.Seconds) + '\t' + (paper.ExtraThird ? '1' : '0');
}

std::optional<TExamPaper> ReadPaperLine(const std::string &line) {
  // The name is all before the last two tabs: one that holds a tab is refused, not cut.
  const size_t second = line.rfind('\t');
  if (second == std::string::npos || second == 0) return std::nullopt;
  const size_t first = line.rfind('\t', second - 1);
  if (first == std::string::npos) return std::nullopt;
  TExamPaper paper;
  paper.Name = line.substr(0, first);
  const std::string flag = line.substr(second + 1);
  if (flag != "0" && flag != "1") return std::nullopt;
  paper.ExtraThird = flag == "1";
  const char *begin = line.data() + first + 1, *end = line.data() + second;
  const auto [stop, error] = std::from_chars(begin, end, paper.Seconds);
  if (error != std::errc{} || stop != end || begin == end) return std::nullopt;
  if (PaperNameFault(paper.Name) != TPaperNameFault::None || paper.Seconds == 0 ||
      paper.Seconds > MaxPaperSeconds)
    return std::nullopt;
  return paper;
}

TPaperNameFault PaperNameFault(const std::string &name, const std::vector<std::string> &taken) {
  if (name.empty()) return TPaperNameFault::Empty;
  if (name.size() > MaxPaperName) return TPaperNameFault::TooLong;
  if (std::any_of(name.begin(), name.end(), Refused)) return TPaperNameFault::Character;
  const std::string folded = Folded(name);
  if (folded.empty()) return TPaperNameFault::Empty;  // spaces only
  for (const std::string &other : taken)
    if (Folded(other) == folded) return TPaperNameFault::Taken;
  return TPaperNameFault::None;
}
