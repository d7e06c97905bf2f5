// uRunRecord - what is kept of an open run so that it can be taken up again after Tavelin ended
// without closing it (killed, crashed, logged off, the computer restarted or lost power).
//
// The record places the run on the wall clock (UTC, milliseconds since 1970), since the
// monotonic clock of one process means nothing to the next one. It is written on the events of
// a run only (Run, pause, continue, the beeps switched, a screen or clock change), never on a
// tick, so that the time of the run comes from its start and pauses, never from the last write.
//
// Stored as RunState, REG_BINARY, little-endian. Version 3, RunRecordSizeV3 bytes:
//
//   offset size  field
//        0    4  version
//        4    4  length: the record's size as its writer made it
//        8    4  TotalSeconds       the run's total; 0: open-ended
//       12    4  InterBeepSeconds
//       16    8  StartUtcMs         when the run stood at 00:00:00 of run time, before its pauses
//       24    8  PausedMs           time paused before the pause under way (if any)
//       32    8  PausedSinceUtcMs   when the pause under way began; 0 when running
//       40    8  SavedUtcMs         when the record was written
//       48    4  EndMinute          minute of the day (local) of a run to a time of day, or -1
//       52    4  ExtraSeconds       the extended time of a tiers-temps run, 0 without
//       56    4  UserScreenSize     the display's size
//       60    1  TypeInc            0 counts up, 1 counts down
//       61    1  BeepActive         0 or 1, and likewise the next three
//       62    1  Paused
//       63    1  ExtraThird
//       64    1  CountOvertime
//       65    1  KeepJournal        0 or 1
//       66    2  zero
//       68    4  SessionOnly        the settings a command line gave for its session only:
//                                  bit i for RunRecordSettings[i]
//       72    8  PausedAfterNormalMs  of PausedMs, the pauses taken once the normal end had come
//       80    4  AddedSeconds       time given back to the run (or taken), signed, while its
//                                  normal end was to come: it moved both ends
//       84    4  AddedAfterNormalSeconds  the same once the normal end had come
//       88    4  PlannedExtraSeconds  the extended time the room was told at Run, before any
//                                  clock set moved the extended end on the wall clock
//       92    4  PaperCount         épreuves beside the run's own, up to RunRecordMaxPapers
//       96  3×48 the épreuves, unused rows zero: name (RunRecordPaperNameSize bytes,
//                                  Windows-1252, zero-padded), seconds (4), ExtraThird (1), zero (3)
//      240   40  FirstName          the run's own épreuve's name, as the épreuves' names
//      280  3×24 the épreuves' ends, as the run's own above: ExtraSeconds (4),
//                                  PlannedExtraSeconds (4), AddedSeconds (4),
//                                  AddedAfterNormalSeconds (4), PausedAfterNormalMs (8)
//
// Version 4, RunRecordSize bytes, appends to version 3's RunRecordSizeV3:
//
//      352    4  ExitRunMs          when candidates may leave, in run time (ms, pauses excluded);
//                                  0: none
//      356 4×20  the ends that have come and stay where they came, of the run's own épreuve, then
//                                  of each other as the épreuves' rows (unused rows zero): which
//                                  (1: bit 0 the normal end, bit 1 the last; of the run's own
//                                  also bit 2 NormalByCount, bit 3 LastByCount), zero (3),
//                                  NormalCameMs (8), LastCameMs (8): where on the local clock,
//                                  in milliseconds after the start (StartUtcMs on that clock);
//                                  zero when its bit is clear
//
// Version 5 appends to version 4's RunRecordSize bytes the run's events, so that a record and
// its events are one value, written at once and never paired with another run's:
//
//      436    4  EventsSize         the bytes that follow, at most RunRecordMaxEventsSize
//      440    …  the events, as PackRunEvents packs them (below)
//
// Version 4 kept its events in a value of their own (RunEvents); a record of version 4 or
// before has no events here.
//
// Version 3 is the first 352 bytes of version 4, with its own number; version 2 the first 240.
// A later version only appends fields: it keeps the version-4 part as version 4 writes it (bits
// of SessionOnly for settings unknown here aside), and its length says how much follows. So a
// longer record of a later version is read as far as it is known here.
//
// Version 1, exactly 64 bytes, is still read: the same fields from TotalSeconds to CountOvertime
// at offsets 4 to 60 (no length), SessionOnly as one byte at 61, two zero bytes.
//
// A record read back is checked field by field: anything else than what a writer of its version
// can write is no run at all.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/uJournal.h"

constexpr uint32_t RunRecordVersion = 5;
// Version 4's fields; version 5 adds its events' size and the events.
constexpr size_t RunRecordSize = 436;
constexpr size_t RunRecordMaxEventsSize = 1 << 20;
constexpr size_t RunRecordSizeV3 = 352;
constexpr size_t RunRecordSizeV2 = 240;
constexpr size_t RunRecordSizeV1 = 64;
// Longer than any later version will need: a larger value is nobody's record.
constexpr size_t RunRecordMaxSize = RunRecordSize + 4 + RunRecordMaxEventsSize + 4096;
// Limits that a record's values are held to: the longest duration the main window can enter,
// and the display sizes of the settings (0 to 4 fixed, then full width on monitor 0 to 15).
constexpr uint32_t RunRecordMaxSeconds = 89999;
constexpr int32_t RunRecordScreenSizes = 5 + 16;
constexpr int64_t RunRecordMaxAgeMs = 86'400'000;
// A clock set back at boot (a dead battery, a time zone read wrong) leaves a record saved ahead
// of it: within this, the run is still offered.
constexpr int64_t RunRecordMaxAheadMs = 600'000;
constexpr int32_t RunRecordMaxAddedSeconds = 86'400;
// How far from the start an end that came may be held (clock sets included).
constexpr int64_t RunRecordMaxCameMs = 7 * RunRecordMaxAgeMs;
constexpr size_t RunRecordMaxPapers = 3;
constexpr size_t RunRecordPaperNameSize = 40;
// The run's settings by their registry names, in the order of SessionOnly's bits.
constexpr std::array<const char*, 8> RunRecordSettings = {
    "TotalTime", "InterBeepTime", "TypeInc", "BeepActive", "UserScreenSize", "CountOvertime",
    "ExtraThird", "KeepJournal"};

// One more épreuve of the run, with its own length.
struct TRunRecordPaper {
  std::string Name = {};  // Windows-1252, no control character, at most RunRecordPaperNameSize
  uint32_t Seconds = 0;  // its normal end, as the engine counts to it
  bool ExtraThird = false;
  uint32_t ExtraSeconds = 0;
  uint32_t PlannedExtraSeconds = 0;
  int32_t AddedSeconds = 0;
  int32_t AddedAfterNormalSeconds = 0;
  int64_t PausedAfterNormalMs = 0;
  // Ends that came, held where they came whatever the clock did since: milliseconds after the
  // start on the local clock.
  std::optional<int64_t> NormalCameMs = {}, LastCameMs = {};

  bool operator==(const TRunRecordPaper&) const = default;
};

struct TRunRecord {
  uint32_t TotalSeconds = 0;
  uint32_t InterBeepSeconds = 0;
  int64_t StartUtcMs = 0;
  int64_t PausedMs = 0;
  int64_t PausedSinceUtcMs = 0;
  int64_t SavedUtcMs = 0;
  int32_t EndMinute = -1;
  uint32_t ExtraSeconds = 0;
  int32_t UserScreenSize = 1;
  uint8_t TypeInc = 0;
  bool BeepActive = false;
  bool Paused = false;
  bool ExtraThird = false;
  bool CountOvertime = false;
  uint32_t SessionOnly = 0;
  int64_t PausedAfterNormalMs = 0;
  int32_t AddedSeconds = 0;
  int32_t AddedAfterNormalSeconds = 0;
  uint32_t PlannedExtraSeconds = 0;
  std::vector<TRunRecordPaper> Papers = {};  // at most RunRecordMaxPapers
  bool KeepJournal = false;
  std::string FirstName = {};  // as an épreuve's name
  std::optional<int64_t> NormalCameMs = {}, LastCameMs = {};  // the run's own, as an épreuve's
  // A clock set put the run to a time of day past its end: that end comes, and is read, at the
  // count kept for it (TotalSeconds, ExtraSeconds) rather than on the minute.
  bool NormalByCount = false, LastByCount = false;
  uint32_t ExitRunMs = 0;  // the moment candidates may leave, in run time; 0: none
  // The run's events as its session packed them (at most RunRecordMaxEventsSize bytes); none
  // in a record of version 4 or before.
  std::vector<uint8_t> Events = {};

  bool operator==(const TRunRecord&) const = default;
};

using TRunRecordBytes = std::vector<uint8_t>;

// Always the current version. Épreuves beyond RunRecordMaxPapers and name bytes beyond
// RunRecordPaperNameSize are left out; events beyond RunRecordMaxEventsSize throw
// std::length_error (they are never cut).
TRunRecordBytes PackRunRecord(const TRunRecord& record);

// The whole milliseconds of a run's time, the unit its record and its wall-clock ends share.
inline int64_t Ms(std::chrono::nanoseconds d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Where a run stands, as the engine counts it: its run time (paused time excluded), the time
// paused in earlier pauses, and the pause under way.
struct TRunPlace {
  std::chrono::nanoseconds RunTime{};
  std::chrono::nanoseconds PausedBefore{};
  bool Paused = false;
  std::chrono::nanoseconds PausedFor{};  // how long the pause under way has lasted
};

// Puts into the record the run's place at the wall-clock instant nowUtcMs.
void PlaceRunRecord(TRunRecord& record, const TRunPlace& place, int64_t nowUtcMs);
// Where the run of the record stands at the wall-clock instant nowUtcMs: as if it had gone on
// all along (a paused run stays where it was paused, its pause grown meanwhile).
TRunPlace RunPlaceAt(const TRunRecord& record, int64_t nowUtcMs);

// What the next start of Tavelin makes of a stored record at the wall-clock instant nowUtcMs.
enum class TTakeUpKind {
  NoRun,  // unreadable as a run: wrong size or version, a value out of range, a start or save
          // that the clock cannot have seen
  Going,  // the run would still be going: it can be taken up
  Ended,  // its end came meanwhile
};
struct TTakeUp {
  TTakeUpKind Kind = TTakeUpKind::NoRun;
  TRunRecord Record;   // as read; behind a clock set back, its instants moved back with it
  TRunPlace Place;     // Going: where it stands now
  int64_t EndUtcMs = 0;  // Ended: when its end came
};
TTakeUp AssessRunRecord(const uint8_t* data, size_t size, int64_t nowUtcMs);

// The events of an open run, kept with its record so that a take-up keeps the whole run: its
// first stamp and its events, at most RunEventsMax of them (the latest, after the plans), each
// with its place in the run and texts of at most RunEventTextMax bytes, which every text the
// session makes fits (a reason of time added, names of RunRecordPaperNameSize). A damaged value
// reads as nothing; the first form, whose texts were cut at 255 bytes and whose events had no
// place, is still read.
constexpr size_t RunEventsMax = 200;
constexpr size_t RunEventTextMax = 1024;
constexpr size_t RunEventsMaxBytes = 32 + RunEventsMax * (16 + 3 * (2 + RunEventTextMax));
static_assert(RunEventsMaxBytes <= RunRecordMaxEventsSize);
// Throws std::length_error for a text longer than RunEventTextMax: never cut.
std::vector<uint8_t> PackRunEvents(const TJournal &run);
std::optional<TJournal> ReadRunEvents(const uint8_t *data, size_t size);
