#pragma once
// The switches a shortcut can give Tavelin: what each asks of this session, read from the words
// of the command line. The values hold for this session only (see TConfig::ApplyCommandLine).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/uErrors.h"
#include "run/uExamPaper.h"

// The latest a room lets candidates leave, and latecomers in, after the start: three hours.
constexpr uint32_t MaxExitMinutes = 180;

struct TCommandLine {
  std::optional<uint32_t> TotalSeconds = {};      // /duree
  int EndMinute = -1;                             // /fin: the minute of the day, -1 for none
  std::optional<int32_t> TypeInc = {};            // /positif 0, /negatif 1
  std::optional<bool> BeepActive = {};            // /bip on, /sansbip off
  std::optional<uint32_t> InterBeepSeconds = {};  // /bip:MM:SS
  std::optional<int32_t> UserScreenSize = {};     // /taille:k k-1, /plein:N 5+N-1
  bool ExtraThird = false;                        // /tiers-temps
  bool CountOvertime = false;                     // /depassement
  bool Launch = false;                            // /lancer
  bool Resume = false;                            // /reprendre
  bool Help = false;                              // /?
  bool KeepJournal = false;                       // /journal
  std::vector<TExamPaper> Papers = {};            // /epreuve:"Nom=1:30:00", up to three times
  std::optional<uint32_t> ExitMinutes = {};       // /sortie:N, 0 to MaxExitMinutes
  bool ClockDigits = false;                       // /heure
  // /plan:FICHIER, or a file's path given alone (what Windows passes when a plan is opened from
  // the Explorer); Windows-1252, empty for none.
  std::string PlanPath = {};
  bool operator==(const TCommandLine &) const = default;
};

// A word of the command line that Tavelin cannot read; the message names it.
class ECommandLine : public ETavelinError {
public:
  using ETavelinError::ETavelinError;
};

// The words after the program's name. Names are read in any case, "-" as well as "/", and a
// value follows ":". A switch given twice (but /epreuve, once for each other épreuve), or with one
// it contradicts, is an error too. An épreuve's name is checked as every name is (PaperNameFault):
// against the others, and against the first épreuve's stored name once the settings are read.
TCommandLine ParseCommandLine(const std::vector<std::string> &words,
                              const std::optional<std::string> &firstName = std::nullopt);

// Every switch, one a line, with two examples: the text of the box that /? shows.
std::string CommandLineHelp();
