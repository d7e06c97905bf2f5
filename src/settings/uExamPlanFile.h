#pragma once
// An exam's plan as a document: a text file that a centre prepares ahead and opens in any room,
// "Bac blanc.tavelin". UTF-8 (its byte-order mark optional), one "Key = value" a line, French keys
// read without regard to case or accents, one line for each épreuve, "#" starting a comment line:
//
//   Nom = Bac blanc de philosophie
//   Établissement = Lycée Champollion
//   Salle = B12
//   Début = 8h00
//   Départ automatique = oui
//   Épreuve = Philosophie ; 4h00 ; tiers-temps
//   Épreuve = Philosophie (aménagée) ; fin 11h00
//   Avertissements = 30 10 5
//   Sortie = 60
//
// What a plan leaves out is off (or none), so that a plan is the same run wherever it opens; the
// room's own settings (its sounds, its display, its beeps) are not a plan's. Free of any platform
// header: the Windows side reads and writes the file's bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "base/uErrors.h"

// The extension of a plan's file, Tavelin's own.
inline constexpr char PlanExtension[] = ".tavelin";
// A plan is a few lines: a larger file is not one.
constexpr size_t MaxPlanBytes = 64 * 1024;
// The plan's name, the establishment and the room: one line of text each.
constexpr size_t MaxPlanText = 80;
// The first épreuve is the run the main window sets: it may last as long as its boxes go.
constexpr uint32_t MaxFirstPaperSeconds = 24 * 3600 + 59 * 60 + 59;

struct TPlanPaper {
  std::string Name = {};  // Windows-1252
  uint32_t Seconds = 0;   // its length, when it has one
  int EndMinute = -1;     // or the minute of the day it ends at
  bool ExtraThird = false;
  bool operator==(const TPlanPaper &) const = default;
};

struct TExamPlanFile {
  std::string Name = {};  // Windows-1252, like every text here
  std::string Establishment = {}, Room = {};  // empty: none
  int StartMinute = -1;          // the official start, a minute of the day; -1: none
  bool StartsByItself = false;   // the run starts at the official start, nobody pressing Run
  std::vector<TPlanPaper> Papers = {};  // 1 to MaxPapers, the run's own first
  bool CountsDown = true;
  std::vector<uint32_t> WarnMinutes = {};  // largest first, at most three, 1 to 999
  uint32_t ExitMinutes = 0;                // 0 to MaxExitMinutes
  bool ShowClock = false;                  // the time of day and the end under the display
  bool ClockDigits = false;                // the time of day in the digits
  uint32_t SecondsNearEnd = 0;             // the seconds lit only this many minutes before an end
  bool CountOvertime = false;
  bool KeepJournal = false;
  bool operator==(const TExamPlanFile &) const = default;
};

// A plan that cannot be read: the line (from 1; 0 for the plan as a whole) and what is wrong.
class EPlanFile : public ETavelinError {
public:
  EPlanFile(size_t line, const std::string &what);
  size_t Line;
  std::string What;
};

// What is wrong with a plan as given, or nothing (empty): the checks the reader makes once every
// line is read (an épreuve at least, names each once, an end after the start, lengths in range).
std::string PlanFault(const TExamPlanFile &plan);

// A file's bytes read as a plan; throws EPlanFile at the first line that is wrong.
TExamPlanFile ReadPlanFile(const std::string &bytes);
// The plan as its file holds it, UTF-8 with its byte-order mark (which Notepad wants), each key
// written: ReadPlanFile gives the same plan back.
std::string PlanFileText(const TExamPlanFile &plan);
// The box's text for a plan that cannot be opened: the file, then the line and what is wrong.
std::string PlanFileMessage(const std::string &path, const EPlanFile &e);
