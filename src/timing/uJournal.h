// uJournal - an exam's record: the events of the latest run in memory, their lines in the journal
// file (a CSV that a French spreadsheet opens as it is), the lines that wait while the file cannot
// be written, and the procès-verbal page built from the events. Free of any platform header: the
// Windows side (uJournalKeeper) reads the clocks, finds the folder and writes the files.
//
// Texts come in and are kept in the program's Windows-1252; what goes to a file is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A moment as the computer's local wall clock showed it.
struct TJournalTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  bool operator==(const TJournalTime &) const = default;
};
// "2026-12-07", "09:00:12", and both: "2026-12-07 09:00:12", which ties a run's lines together.
std::string JournalDate(const TJournalTime &t);
std::string JournalClock(const TJournalTime &t);
std::string JournalStamp(const TJournalTime &t);

// The events, named as the file and the page write them.
namespace journal {
inline constexpr const char *Start = "Début";  // the detail: the run's plan
inline constexpr const char *Pause = "Pause";
inline constexpr const char *Resume = "Reprise";  // the pause's length
inline constexpr const char *TimeAdded = "Temps ajouté";  // minutes, reason, new ends
inline constexpr const char *Warning = "Avertissement";
inline constexpr const char *NormalEnd = "Fin du temps normal";
inline constexpr const char *End = "Fin";
inline constexpr const char *Overtime = "Dépassement";
inline constexpr const char *Stopped = "Arrêt";  // ended by the user before its end
inline constexpr const char *ClockChanged = "Heure de l'ordinateur changée";
inline constexpr const char *Woke = "Reprise après sortie de veille";
inline constexpr const char *TakenUp = "Reprise après interruption";
}  // namespace journal

struct TJournalEvent {
  TJournalTime At;
  std::string Event;
  std::string Detail;
  std::string Epreuve = {};  // the épreuve it is of, for a run of several; empty for the run
  bool operator==(const TJournalEvent &) const = default;
};

// --- The file ------------------------------------------------------------------------------------
// One field as a spreadsheet must read it, still in Windows-1252: a text that it would take for a
// formula (beginning with =, +, - or @) gets a leading apostrophe; one holding a ";", a quote or a
// line break is quoted, its quotes doubled.
std::string CsvField(const std::string &text);
// What a new file begins with: the byte-order mark and the header line.
std::string JournalFileHeader();
// The line of one event, UTF-8, ended by CR LF. epreuve: empty until a run has several.
std::string JournalLine(const TJournalTime &runStart, const std::string &epreuve,
                        const TJournalEvent &event);

// --- The latest run ------------------------------------------------------------------------------
class TJournal {
public:
  // A new latest run started at `start`: the events of the one before are forgotten.
  void StartRun(const TJournalTime &start);
  bool HasRun() const { return hasRun_; }
  const TJournalTime &RunStart() const { return start_; }
  const std::vector<TJournalEvent> &Events() const { return events_; }
  // Records an event and gives its line for the file. An event before any run starts one then.
  std::string Add(const TJournalTime &at, const std::string &event, const std::string &detail,
                  const std::string &epreuve = {});

private:
  bool hasRun_ = false;
  TJournalTime start_;
  std::vector<TJournalEvent> events_;
};

// --- Lines that wait -----------------------------------------------------------------------------
// The lines not yet in the file, and when to try the file again. A write that failed is tried
// again a minute after the failure or at the next event, whichever is later: a locked or
// unreachable file is not hammered, and nothing waits for ever while events come. Times are
// milliseconds of a monotonic clock.
class TJournalQueue {
public:
  static constexpr int64_t RetryMs = 60'000;
  // An event's line joins the waiting ones; true when the file is to be tried now.
  bool Push(const std::string &line, int64_t nowMs);
  // Asked every second or so: true when the time to try again has come.
  bool RetryDue(int64_t nowMs) const;
  // Every waiting line, oldest first, as one block to append.
  const std::string &Waiting() const { return lines_; }
  bool Empty() const { return lines_.empty(); }
  // The block reached the file.
  void Written();
  // It did not: true when the user is to be told, for the first failure after lines were
  // written (or the very first), never for the retries that fail after it.
  bool Failed(int64_t nowMs);

private:
  std::string lines_;
  bool failing_ = false, eventSince_ = false, told_ = false;
  int64_t failedAt_ = 0;
};

// --- The procès-verbal ---------------------------------------------------------------------------
// Any text made safe inside an HTML page or attribute.
std::string HtmlEscape(const std::string &text);
// The page of one run, UTF-8 HTML standing alone (no script, no outside file), in French,
// printable on A4: the date, the start and the ends planned and actual (for a run of several
// épreuves, one block an épreuve), the pauses, the time added with its reason, every other event,
// lines to fill in by hand, and room for signatures.
std::string ProcesVerbalHtml(const TJournalTime &runStart, const std::vector<TJournalEvent> &events);
// "Procès-verbal 2026-12-07 09 h 00.html", in Windows-1252.
std::string ProcesVerbalFileName(const TJournalTime &runStart);
