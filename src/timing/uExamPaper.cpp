// uExamPaper - an épreuve of a run. See the header.
#include "timing/uExamPaper.h"

#include <charconv>

std::string PaperName(const std::string &name, size_t row) {
  if (!name.empty()) return name;
  std::string shown = "Épreuve ";
  return shown += std::to_string(row + 1);
}

std::string PaperLine(const TExamPaper &paper) {
  return paper.Name + '\t' + std::to_string(paper.Seconds) + '\t' + (paper.ExtraThird ? '1' : '0');
}

std::optional<TExamPaper> ReadPaperLine(const std::string &line) {
  // The name is all before the last two tabs, so that a tab pasted into it reads back.
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
  if (paper.Name.empty() || paper.Name.size() > MaxPaperName || paper.Seconds == 0 ||
      paper.Seconds > MaxPaperSeconds)
    return std::nullopt;
  return paper;
}
