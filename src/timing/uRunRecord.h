// uRunRecord - what is kept of an open run so that it can be taken up again after Tavelin ended
// without closing it (killed, crashed, logged off, the computer restarted or lost power).
//
// The record places the run on the wall clock (UTC, milliseconds since 1970), since the
// monotonic clock of one process means nothing to the next one. It is written on the events of
// a run only (Run, pause, continue, the beeps switched, a screen or clock change), never on a
// tick, so that the time of the run comes from its start and pauses, never from the last write.
//
// Stored as RunState, REG_BINARY, exactly RunRecordSize bytes, little-endian:
//
//   offset size  field
//        0    4  version, RunRecordVersion
//        4    4  TotalSeconds       the run's total; 0: open-ended
//        8    4  InterBeepSeconds
//       12    8  StartUtcMs         when the run stood at 00:00:00 of run time, before its pauses
//       20    8  PausedMs           time paused before the pause under way (if any)
//       28    8  PausedSinceUtcMs   when the pause under way began; 0 when running
//       36    8  SavedUtcMs         when the record was written
//       44    4  EndMinute          minute of the day (local) of a run to a time of day, or -1
//       48    4  ExtraSeconds       the extended time of a tiers-temps run, 0 without
//       52    4  UserScreenSize     the display's size
//       56    1  TypeInc            0 counts up, 1 counts down
//       57    1  BeepActive         0 or 1, and likewise the next three
//       58    1  Paused
//       59    1  ExtraThird
//       60    1  CountOvertime
//       61    1  SessionOnly        the settings a command line gave for its session only:
//                                  bit i for RunRecordSettings[i]
//       62    2  zero
//
// A record read back is checked field by field: anything else than what a writer of this version
// can write is no run at all.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

constexpr uint32_t RunRecordVersion = 1;
constexpr size_t RunRecordSize = 64;
// Limits that a record's values are held to: the longest duration the main window can enter,
// and the display sizes of the settings (0 to 4 fixed, then full width on monitor 0 to 15).
constexpr uint32_t RunRecordMaxSeconds = 89999;
constexpr int32_t RunRecordScreenSizes = 5 + 16;
constexpr int64_t RunRecordMaxAgeMs = 86'400'000;
// The run's settings by their registry names, in the order of SessionOnly's bits.
constexpr std::array<const char*, 7> RunRecordSettings = {
    "TotalTime", "InterBeepTime", "TypeInc", "BeepActive", "UserScreenSize", "CountOvertime",
    "ExtraThird"};

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
  uint8_t SessionOnly = 0;

  bool operator==(const TRunRecord&) const = default;
};

using TRunRecordBytes = std::array<uint8_t, RunRecordSize>;

TRunRecordBytes PackRunRecord(const TRunRecord& record);

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
  NoRun,  // unreadable as a run: wrong size or version, a value out of range, a start in the
          // future or more than a day ago
  Going,  // the run would still be going: it can be taken up
  Ended,  // its end came meanwhile
};
struct TTakeUp {
  TTakeUpKind Kind = TTakeUpKind::NoRun;
  TRunRecord Record;
  TRunPlace Place;     // Going: where it stands now
  int64_t EndUtcMs = 0;  // Ended: when its end came
};
TTakeUp AssessRunRecord(const uint8_t* data, size_t size, int64_t nowUtcMs);
