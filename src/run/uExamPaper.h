// uExamPaper - an épreuve: one paper of a run that holds several, each with its own name, length
// and tiers-temps, all started together. The run as the main window sets it is the first; up to
// three more stand beside it. Free of any platform header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TExamPaper {
  std::string Name = {};  // Windows-1252, 1 to MaxPaperName characters
  uint32_t Seconds = 0;   // its length
  bool ExtraThird = false;
  bool operator==(const TExamPaper &) const = default;
};

// The run's own épreuve and three more.
constexpr size_t MaxPapers = 4;
constexpr size_t MaxPaperName = 40;
// The longest épreuve beside the run's own: 9:59:59.
constexpr uint32_t MaxPaperSeconds = 9 * 3600 + 59 * 60 + 59;

// The name an épreuve is shown by: its own, or "Épreuve 1" for the run's own row left unnamed
// (row counts from 0).
std::string PaperName(const std::string &name, size_t row);
// An épreuve beside the run's own as the settings keep it, "Anglais<TAB>5400<TAB>1", and back:
// nothing for a line that is not one (no name, a name too long, a length out of range).
std::string PaperLine(const TExamPaper &paper);
std::optional<TExamPaper> ReadPaperLine(const std::string &line);

// What keeps a name from being an épreuve's, checked wherever a name comes in (the dialog, the
// settings, the command line), so that whatever is accepted reads back from the run's record and
// the journal as it was given.
enum class TPaperNameFault {
  None,
  Empty,
  TooLong,    // more than MaxPaperName characters
  Character,  // a control character, or a byte that Windows-1252 leaves free
  Taken,      // one of `taken` as a French reader would take it: case, accents and spaces aside
};
// `taken`: the names shown before it (the first épreuve's as PaperName shows it).
TPaperNameFault PaperNameFault(const std::string &name, const std::vector<std::string> &taken = {});
