// uJournal - an exam's record: the events of the latest run in memory, their lines in the journal
// file (a CSV that a French spreadsheet opens as it is), the lines that wait while the file cannot
// be written, and the procès-verbal page built from the events. Free of any platform header: the
// Windows side (uJournalKeeper) reads the clocks, finds the folder and writes the files.
//
// Texts come in and are kept in the program's Windows-1252; what goes to a file is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
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
inline constexpr const char *Plan = "Plan d'examen";  // its name, the establishment, the room
inline constexpr const char *Exit = "Sortie autorisée";  // candidates may leave, latecomers no longer come in
}  // namespace journal

// What an exam's plan names of its run, for the journal and the procès-verbal's blanks.
struct TRunHeading {
  std::string Name = {}, Establishment = {}, Room = {};  // Windows-1252; empty: not named
  int StartMinute = -1;  // the official start, a minute of the day; -1: none
  bool operator==(const TRunHeading &) const = default;
};
// The detail of the plan's line ("Bac blanc ; Établissement : Lycée Champollion ; Salle : B12 ;
// début prévu à 8 h 00"), and the heading read back from it (the name keeps what no label claims).
std::string RunHeadingText(const TRunHeading &heading);
TRunHeading ReadRunHeading(const std::string &detail);

struct TJournalEvent {
  TJournalTime At;
  std::string Event;
  std::string Detail;
  std::string Paper = {};  // the épreuve it is of, for a run of several; empty for the run
  // Its place in its run, from 0: with the run's stamp, the line's identity.
  uint32_t Index = 0;
  bool operator==(const TJournalEvent &) const = default;
};

// --- The file ------------------------------------------------------------------------------------
// One field as a spreadsheet must read it, still in Windows-1252: a text that it would take for a
// formula (beginning with =, +, -, @, a tab or a carriage return, behind any apostrophes) gets a
// leading apostrophe; one holding a ";", a quote or a line break is quoted, its quotes doubled.
std::string CsvField(const std::string &text);
// What a new file begins with: the byte-order mark and the header line.
std::string JournalFileHeader();
// The line of one event, UTF-8, ended by CR LF. paper: empty until a run has several.
std::string JournalLine(const TJournalTime &runStart, const std::string &paper,
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
                  const std::string &paper = {});
  // An event kept from before, at its own place (after the last one's).
  bool Restore(const TJournalEvent &event);

private:
  bool hasRun_ = false;
  TJournalTime start_;
  std::vector<TJournalEvent> events_;
};

// --- Lines that wait -----------------------------------------------------------------------------
// A line of the journal with its identity: the run's stamp and the event's place in its run. A
// retry, the waiting file, a write cut short or a second Tavelin never write it twice.
struct TJournalEntry {
  std::string Stamp;   // the run's stamp, as the line's "Chronométrage" column has it
  uint32_t Index = 0;  // the event's place in its run
  uint32_t Alike = 0;  // earlier lines of its run that read the same, byte for byte
  std::string Line;    // UTF-8, ended by CR LF
  bool operator==(const TJournalEntry &) const = default;
};
// The entry of the last event of `run`.
TJournalEntry JournalEntryOf(const TJournal &run);
// What to append to a journal file that holds `file`, so that it holds the header once and every
// entry once, in order: the header for a new file (or the rest of one cut short), the rest of a
// line cut short when it is the next entry's (closed as it is otherwise), then each entry that the
// file does not hold yet. An entry is held when the file's whole lines that read as it does are
// more than the lines of its run alike before it.
std::string JournalAppend(const std::string &file, const std::vector<TJournalEntry> &entries);
// "Journal en attente.csv": the entries with their identities, a count and a checksum, so that a
// file cut short, of zeros, or of another program reads as nothing. The earlier form (the lines
// alone, after the rest of a header or of a line cut short) is read too, each line that has a
// run's stamp taking its place in its run as it comes.
std::string PackWaiting(const std::vector<TJournalEntry> &entries);
std::optional<std::vector<TJournalEntry>> ReadWaiting(const std::string &bytes);

// The entries not yet in the file, and when to try the file again. After a failure the file is
// tried again a minute later (a timer asks), or at once when the run ends, the bar closes or
// Tavelin ends: a locked or unreachable file is not hammered, and nothing waits for an event
// that may never come. Times are milliseconds of a monotonic clock.
class TJournalQueue {
public:
  static constexpr int64_t RetryMs = 60'000;
  // An event's entry joins the waiting ones; true when the file is to be tried now (no failure
  // under way, or its minute gone).
  bool Push(const TJournalEntry &entry, int64_t nowMs);
  // Entries kept elsewhere (the waiting file) join them, each once, in the order of their runs.
  void Merge(const std::vector<TJournalEntry> &entries);
  // Asked by a timer: true when entries wait and the minute after the failure has gone.
  bool RetryDue(int64_t nowMs) const;
  const std::vector<TJournalEntry> &Entries() const { return entries_; }
  size_t Lines() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  // Every entry is in the file.
  void Written();
  // They are not: true when the user is to be told, for the first failure after every line was
  // written (or the very first), never for the retries that fail after it.
  bool Failed(int64_t nowMs);

private:
  std::vector<TJournalEntry> entries_;
  bool failing_ = false, told_ = false;
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
// "Procès-verbal 2026-12-07 09 h 00.html", in Windows-1252; "... 09 h 00 (2).html" for the second
// page of that minute (copy 2), and so on.
std::string ProcesVerbalFileName(const TJournalTime &runStart, int copy = 1);
