// The épreuves' settings as the registry gives them: a REG_MULTI_SZ value, any bytes, split as the
// registry layer splits it (at each NUL, empty strings left out), then healed line by line; and
// the same bytes as the text of the warnings before the end.
// What healing keeps is within limits, and written back it reads back whole and the same.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "run/uExamPaper.h"
#include "settings/uConfigTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> lines;
  const char *at = reinterpret_cast<const char *>(data), *end = at + size;
  while (at < end) {
    const char *stop = std::find(at, end, '\0');
    if (stop > at) lines.emplace_back(at, stop);
    at = stop + 1;
  }

  for (const std::string &line : lines) {
    const auto paper = ReadPaperLine(line);
    if (!paper) continue;
    Check(!paper->Name.empty() && paper->Name.size() <= MaxPaperName, "a name empty or too long");
    Check(paper->Seconds >= 1 && paper->Seconds <= MaxPaperSeconds, "a length out of range");
    Check(ReadPaperLine(PaperLine(*paper)) == paper, "a line written again reads otherwise");
  }

  bool valid = false;
  const std::vector<TExamPaper> papers = ReadPaperLines(lines, valid);
  Check(papers.size() <= MaxPapers - 1, "more than three épreuves");
  Check(!valid || papers.size() == lines.size(), "a line left out, the value called valid");
  for (size_t i = 0; i < papers.size(); ++i)
    for (size_t k = 0; k < i; ++k) Check(papers[k].Name != papers[i].Name, "a name kept twice");
  bool healedValid = false;
  Check(ReadPaperLines(PaperLines(papers), healedValid) == papers && healedValid,
        "the healed épreuves read back otherwise");

  const std::string text(reinterpret_cast<const char *>(data), size);
  bool warnValid = false;
  const std::string warn = HealWarnMinutes(text, warnValid);
  const std::vector<uint32_t> minutes = WarnMinuteValues(text);
  Check(minutes.size() <= MaxWarnings, "more than three warnings");
  for (size_t i = 0; i < minutes.size(); ++i)
    Check(minutes[i] >= 1 && minutes[i] <= MaxWarnMinute && (i == 0 || minutes[i] < minutes[i - 1]),
          "warnings out of range or order");
  Check(warnValid ? warn == WarnMinutesText(minutes) : warn.empty(), "warnings healed otherwise");
  bool again = false;
  Check(HealWarnMinutes(warn, again) == warn && again, "healed warnings heal otherwise");
  return 0;
}
