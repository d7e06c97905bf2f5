// uRunRecord - the record of an open run. See the header for its layout.
#include "run/uRunRecord.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "run/uExamPaper.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Where the fields of version 1 start in each version, and the rest of version 2.
constexpr size_t FieldsV1 = 4, FieldsV2 = 8;
constexpr size_t KeepJournalAt = 65, SessionOnlyAt = 68, PausedAfterNormalAt = 72, AddedAt = 80, AddedAfterAt = 84,
                 PlannedExtraAt = 88, PaperCountAt = 92, PapersAt = 96, PaperSize = 48;
constexpr size_t FirstNameAt = 240, ExamEndsAt = 280, ExamEndsSize = 24;
constexpr size_t CameAt = 356, CameSize = 20;
static_assert(PapersAt + RunRecordMaxPapers * PaperSize == RunRecordSizeV2);
static_assert(ExamEndsAt + RunRecordMaxPapers * ExamEndsSize == RunRecordSizeV3);
static_assert(CameAt + (1 + RunRecordMaxPapers) * CameSize == RunRecordSize);

template <class T>
void Put(std::vector<uint8_t>& out, size_t at, T value) {
  auto bits = static_cast<uint64_t>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[at + i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <class T>
T Get(const uint8_t* in, size_t at) {
  uint64_t bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) bits |= uint64_t{in[at + i]} << (8 * i);
  return static_cast<T>(bits);
}

bool Zero(const uint8_t* in, size_t at, size_t count) {
  return std::all_of(in + at, in + at + count, [](uint8_t b) { return b == 0; });
}

// a + b and a - b held within int64_t, for bounds around a clock reading that may be anything.
int64_t Plus(int64_t a, int64_t b) {
  return a > std::numeric_limits<int64_t>::max() - b ? std::numeric_limits<int64_t>::max() : a + b;
}
int64_t Minus(int64_t a, int64_t b) {
  return a < std::numeric_limits<int64_t>::min() + b ? std::numeric_limits<int64_t>::min() : a - b;
}

// A flag byte is 0 or 1; anything else is not ours.
bool Flag(const uint8_t* in, size_t at, bool& flag) {
  flag = in[at] == 1;
  return in[at] <= 1;
}

// The fields that both versions have, at `base`.
bool UnpackCommon(const uint8_t* in, size_t base, TRunRecord& r) {
  r.TotalSeconds = Get<uint32_t>(in, base);
  r.InterBeepSeconds = Get<uint32_t>(in, base + 4);
  r.StartUtcMs = Get<int64_t>(in, base + 8);
  r.PausedMs = Get<int64_t>(in, base + 16);
  r.PausedSinceUtcMs = Get<int64_t>(in, base + 24);
  r.SavedUtcMs = Get<int64_t>(in, base + 32);
  r.EndMinute = Get<int32_t>(in, base + 40);
  r.ExtraSeconds = Get<uint32_t>(in, base + 44);
  r.UserScreenSize = Get<int32_t>(in, base + 48);
  r.TypeInc = in[base + 52];
  return r.TypeInc <= 1 && Flag(in, base + 53, r.BeepActive) && Flag(in, base + 54, r.Paused) &&
         Flag(in, base + 55, r.ExtraThird) && Flag(in, base + 56, r.CountOvertime) &&
         r.TotalSeconds <= RunRecordMaxSeconds && r.InterBeepSeconds <= RunRecordMaxSeconds &&
         r.ExtraSeconds <= RunRecordMaxSeconds && r.EndMinute >= -1 && r.EndMinute < 24 * 60 &&
         r.UserScreenSize >= 0 && r.UserScreenSize < RunRecordScreenSizes &&
         (r.Paused || r.PausedSinceUtcMs == 0);
}

void PackCommon(std::vector<uint8_t>& out, size_t base, const TRunRecord& r) {
  Put(out, base, r.TotalSeconds);
  Put(out, base + 4, r.InterBeepSeconds);
  Put(out, base + 8, r.StartUtcMs);
  Put(out, base + 16, r.PausedMs);
  Put(out, base + 24, r.Paused ? r.PausedSinceUtcMs : int64_t{0});
  Put(out, base + 32, r.SavedUtcMs);
  Put(out, base + 40, r.EndMinute);
  Put(out, base + 44, r.ExtraSeconds);
  Put(out, base + 48, r.UserScreenSize);
  out[base + 52] = r.TypeInc != 0 ? 1 : 0;
  out[base + 53] = r.BeepActive;
  out[base + 54] = r.Paused;
  out[base + 55] = r.ExtraThird;
  out[base + 56] = r.CountOvertime;
}

constexpr uint32_t KnownSettings = (1u << RunRecordSettings.size()) - 1;

bool UnpackV1(const uint8_t* in, TRunRecord& r) {
  r.SessionOnly = in[61];
  return UnpackCommon(in, FieldsV1, r) && r.SessionOnly <= KnownSettings && Zero(in, 62, 2);
}

// A name: printable bytes, then zeros to the end of its room.
bool PaperNameAt(const uint8_t* in, size_t at, std::string& name) {
  const uint8_t* end = std::find(in + at, in + at + RunRecordPaperNameSize, uint8_t{0});
  name.assign(in + at, end);
  return std::all_of(in + at, end, [](uint8_t c) { return c >= 0x20 && c != 0x7F; }) &&
         Zero(end, 0, size_t(in + at + RunRecordPaperNameSize - end));
}

// The ends that came of one row (the run's own, then the épreuves'), at `at`.
bool CameFrom(const uint8_t* in, size_t at, std::optional<int64_t>& normal,
              std::optional<int64_t>& last, bool* byCount = nullptr) {
  const uint8_t which = in[at];
  if (which > (byCount ? 15 : 3) || !Zero(in, at + 1, 3)) return false;
  if (byCount) byCount[0] = (which & 4) != 0, byCount[1] = (which & 8) != 0;
  for (auto [bit, offset, came] : {std::tuple(1, size_t{4}, &normal), std::tuple(2, size_t{12}, &last)}) {
    const auto ms = Get<int64_t>(in, at + offset);
    if ((which & bit) == 0 ? ms != 0 : ms < -RunRecordMaxCameMs || ms > RunRecordMaxCameMs)
      return false;
    if (which & bit) *came = ms;
  }
  return true;
}

void PutCame(std::vector<uint8_t>& out, size_t at, const std::optional<int64_t>& normal,
             const std::optional<int64_t>& last, uint8_t byCount = 0) {
  auto held = [](const std::optional<int64_t>& ms) {
    return ms ? std::clamp(*ms, -RunRecordMaxCameMs, RunRecordMaxCameMs) : int64_t{0};
  };
  out[at] = uint8_t((normal ? 1 : 0) | (last ? 2 : 0) | byCount);
  Put(out, at + 4, held(normal));
  Put(out, at + 12, held(last));
}

bool UnpackV2(const uint8_t* in, size_t size, TRunRecord& r) {
  const uint32_t version = Get<uint32_t>(in, 0);
  if (Get<uint32_t>(in, 4) != size || (version == 2 && size != RunRecordSizeV2) ||
      (version == 3 && size < RunRecordSizeV3) || (version > 3 && size < RunRecordSize))
    return false;
  if (!UnpackCommon(in, FieldsV2, r) || !Flag(in, KeepJournalAt, r.KeepJournal) || !Zero(in, 66, 2))
    return false;
  r.SessionOnly = Get<uint32_t>(in, SessionOnlyAt);
  // Settings that a later version added, which this one does not hold for the session anyway.
  if (version > RunRecordVersion) r.SessionOnly &= KnownSettings;
  r.PausedAfterNormalMs = Get<int64_t>(in, PausedAfterNormalAt);
  r.AddedSeconds = Get<int32_t>(in, AddedAt);
  r.AddedAfterNormalSeconds = Get<int32_t>(in, AddedAfterAt);
  r.PlannedExtraSeconds = Get<uint32_t>(in, PlannedExtraAt);
  const uint32_t papers = Get<uint32_t>(in, PaperCountAt);
  auto added = [](int32_t s) { return s >= -RunRecordMaxAddedSeconds && s <= RunRecordMaxAddedSeconds; };
  if (r.SessionOnly > KnownSettings || r.PausedAfterNormalMs < 0 ||
      r.PausedAfterNormalMs > r.PausedMs || !added(r.AddedSeconds) ||
      !added(r.AddedAfterNormalSeconds) || r.PlannedExtraSeconds > RunRecordMaxSeconds ||
      papers > RunRecordMaxPapers)
    return false;
  for (size_t i = 0; i < RunRecordMaxPapers; ++i) {
    const size_t at = PapersAt + i * PaperSize;
    if (i >= papers) {
      if (!Zero(in, at, PaperSize)) return false;
      continue;
    }
    TRunRecordPaper& paper = r.Papers.emplace_back();
    paper.Seconds = Get<uint32_t>(in, at + RunRecordPaperNameSize);
    if (!PaperNameAt(in, at, paper.Name) || paper.Seconds > RunRecordMaxSeconds ||
        !Flag(in, at + RunRecordPaperNameSize + 4, paper.ExtraThird) ||
        !Zero(in, at + RunRecordPaperNameSize + 5, 3))
      return false;
  }
  if (version == 2) return true;
  if (!PaperNameAt(in, FirstNameAt, r.FirstName)) return false;
  for (size_t i = 0; i < RunRecordMaxPapers; ++i) {
    const size_t at = ExamEndsAt + i * ExamEndsSize;
    if (i >= papers) {
      if (!Zero(in, at, ExamEndsSize)) return false;
      continue;
    }
    TRunRecordPaper& paper = r.Papers[i];
    paper.ExtraSeconds = Get<uint32_t>(in, at);
    paper.PlannedExtraSeconds = Get<uint32_t>(in, at + 4);
    paper.AddedSeconds = Get<int32_t>(in, at + 8);
    paper.AddedAfterNormalSeconds = Get<int32_t>(in, at + 12);
    paper.PausedAfterNormalMs = Get<int64_t>(in, at + 16);
    if (paper.ExtraSeconds > RunRecordMaxSeconds || paper.PlannedExtraSeconds > RunRecordMaxSeconds ||
        !added(paper.AddedSeconds) || !added(paper.AddedAfterNormalSeconds) ||
        paper.PausedAfterNormalMs < 0 || paper.PausedAfterNormalMs > r.PausedMs)
      return false;
  }
  if (version == 3) return true;
  r.ExitRunMs = Get<uint32_t>(in, RunRecordSizeV3);
  if (int64_t{r.ExitRunMs} > (int64_t{RunRecordMaxSeconds} + RunRecordMaxAddedSeconds) * 1000) return false;
  bool byCount[2];
  if (!CameFrom(in, CameAt, r.NormalCameMs, r.LastCameMs, byCount)) return false;
  r.NormalByCount = byCount[0], r.LastByCount = byCount[1];
  for (size_t i = 0; i < RunRecordMaxPapers; ++i) {
    const size_t at = CameAt + (1 + i) * CameSize;
    if (i >= papers ? !Zero(in, at, CameSize)
                    : !CameFrom(in, at, r.Papers[i].NormalCameMs, r.Papers[i].LastCameMs))
      return false;
  }
  if (version == 4) return true;
  // The events, whole: a later version appends after them.
  if (size < RunRecordSize + 4) return false;
  const uint32_t events = Get<uint32_t>(in, RunRecordSize);
  if (events > RunRecordMaxEventsSize || events > size - RunRecordSize - 4 ||
      (version == 5 && RunRecordSize + 4 + events != size))
    return false;
  r.Events.assign(in + RunRecordSize + 4, in + RunRecordSize + 4 + events);
  return true;
}

bool Unpack(const uint8_t* in, size_t size, TRunRecord& r) {
  if (size < 4) return false;
  const uint32_t version = Get<uint32_t>(in, 0);
  if (version == 1) return size == RunRecordSizeV1 && UnpackV1(in, r);
  return version >= 2 && size >= RunRecordSizeV2 && size <= RunRecordMaxSize &&
         UnpackV2(in, size, r);
}

}  // namespace

TRunRecordBytes PackRunRecord(const TRunRecord& r) {
  if (r.Events.size() > RunRecordMaxEventsSize) throw std::length_error("run events too long");
  TRunRecordBytes out(RunRecordSize + 4 + r.Events.size());
  Put(out, 0, RunRecordVersion);
  Put(out, 4, uint32_t(out.size()));
  Put(out, RunRecordSize, uint32_t(r.Events.size()));
  std::copy(r.Events.begin(), r.Events.end(), out.begin() + RunRecordSize + 4);
  PackCommon(out, FieldsV2, r);
  out[KeepJournalAt] = r.KeepJournal;
  Put(out, SessionOnlyAt, r.SessionOnly);
  Put(out, PausedAfterNormalAt, r.PausedAfterNormalMs);
  Put(out, AddedAt, r.AddedSeconds);
  Put(out, AddedAfterAt, r.AddedAfterNormalSeconds);
  Put(out, PlannedExtraAt, r.PlannedExtraSeconds);
  const size_t papers = std::min(r.Papers.size(), RunRecordMaxPapers);
  Put(out, PaperCountAt, uint32_t(papers));
  for (size_t i = 0; i < papers; ++i) {
    const TRunRecordPaper& paper = r.Papers[i];
    const size_t at = PapersAt + i * PaperSize;
    std::copy_n(paper.Name.begin(), std::min(paper.Name.size(), RunRecordPaperNameSize),
                out.begin() + ptrdiff_t(at));
    Put(out, at + RunRecordPaperNameSize, paper.Seconds);
    out[at + RunRecordPaperNameSize + 4] = paper.ExtraThird;
    const size_t ends = ExamEndsAt + i * ExamEndsSize;
    Put(out, ends, paper.ExtraSeconds);
    Put(out, ends + 4, paper.PlannedExtraSeconds);
    Put(out, ends + 8, paper.AddedSeconds);
    Put(out, ends + 12, paper.AddedAfterNormalSeconds);
    Put(out, ends + 16, paper.PausedAfterNormalMs);
    PutCame(out, CameAt + (1 + i) * CameSize, paper.NormalCameMs, paper.LastCameMs);
  }
  Put(out, RunRecordSizeV3, r.ExitRunMs);
  PutCame(out, CameAt, r.NormalCameMs, r.LastCameMs,
          uint8_t((r.NormalByCount ? 4 : 0) | (r.LastByCount ? 8 : 0)));
  std::copy_n(r.FirstName.begin(), std::min(r.FirstName.size(), RunRecordPaperNameSize),
              out.begin() + ptrdiff_t(FirstNameAt));
  return out;
}

void PlaceRunRecord(TRunRecord& r, const TRunPlace& place, int64_t nowUtcMs) {
  const int64_t pausedFor = place.Paused ? Ms(place.PausedFor) : 0;
  // Rounded up, so that a run kept just after a second's tick is read back past that second.
  const int64_t runMs = std::chrono::ceil<milliseconds>(place.RunTime).count();
  r.StartUtcMs = nowUtcMs - runMs - Ms(place.PausedBefore) - pausedFor;
  r.PausedMs = Ms(place.PausedBefore);
  r.Paused = place.Paused;
  r.PausedSinceUtcMs = place.Paused ? nowUtcMs - pausedFor : 0;
  r.SavedUtcMs = nowUtcMs;
}

TRunPlace RunPlaceAt(const TRunRecord& r, int64_t nowUtcMs) {
  TRunPlace place;
  place.Paused = r.Paused;
  place.PausedBefore = milliseconds(r.PausedMs);
  const int64_t stoodAt = r.Paused ? r.PausedSinceUtcMs : nowUtcMs;
  if (r.Paused) place.PausedFor = milliseconds(nowUtcMs - r.PausedSinceUtcMs);
  place.RunTime = milliseconds(stoodAt - r.StartUtcMs - r.PausedMs);
  return place;
}

TTakeUp AssessRunRecord(const uint8_t* data, size_t size, int64_t nowUtcMs) {
  TTakeUp result;
  TRunRecord& r = result.Record;
  if (data == nullptr || !Unpack(data, size, r)) return {};
  // Every instant compared before any is subtracted: after these, all differences are small.
  const int64_t earliest = Minus(nowUtcMs, RunRecordMaxAgeMs);
  const int64_t latest = Plus(nowUtcMs, RunRecordMaxAheadMs);
  if (r.SavedUtcMs > latest || r.StartUtcMs > r.SavedUtcMs) return {};
  // Behind a clock set back, the run is as old as it was when saved (below, its instants move
  // back with the clock): so that, written again as it is taken up, it reads again.
  const int64_t back = r.SavedUtcMs > nowUtcMs ? r.SavedUtcMs - nowUtcMs : 0;
  if (r.StartUtcMs < earliest + back) return {};
  // The earlier pauses all came between the start and the pause under way, or the save.
  const int64_t knownUntil = r.Paused ? r.PausedSinceUtcMs : r.SavedUtcMs;
  if (knownUntil < r.StartUtcMs || knownUntil > r.SavedUtcMs || r.PausedMs < 0 ||
      r.PausedMs > knownUntil - r.StartUtcMs)
    return {};
  // Behind a clock set back, the run stands where it stood when it was saved: its instants move
  // back with the clock, so that whoever places it by this clock finds it there.
  // The ends that came stay where the room saw them: further from the start, as it moved back.
  if (back > 0) {
    r.StartUtcMs -= back;
    if (r.Paused) r.PausedSinceUtcMs -= back;
    r.SavedUtcMs = nowUtcMs;
    auto further = [&](std::optional<int64_t>& ms) {
      if (ms) ms = std::min(*ms + back, RunRecordMaxCameMs);
    };
    further(r.NormalCameMs), further(r.LastCameMs);
    for (TRunRecordPaper& paper : r.Papers) further(paper.NormalCameMs), further(paper.LastCameMs);
  }
  result.Place = RunPlaceAt(r, nowUtcMs);
  // A tiers-temps run goes on to its extended end, a run of several épreuves to the last of all.
  int64_t endMs = (int64_t{r.TotalSeconds} + (r.ExtraThird ? r.ExtraSeconds : 0)) * 1000;
  for (const TRunRecordPaper& paper : r.Papers)
    endMs = std::max(endMs, (int64_t{paper.Seconds} + (paper.ExtraThird ? paper.ExtraSeconds : 0)) * 1000);
  if (r.TotalSeconds != 0 && Ms(result.Place.RunTime) >= endMs) {
    result.Kind = TTakeUpKind::Ended;
    result.EndUtcMs = r.StartUtcMs + r.PausedMs + endMs;
  } else {
    result.Kind = TTakeUpKind::Going;
  }
  return result;
}

namespace {
// 1: texts of at most 255 bytes (a byte of length), no places; 2: the present form.
constexpr uint32_t RunEventsVersion = 2;
constexpr char RunEventsMagic[4] = {'T', 'V', 'E', 'V'};

// The events are written one after the other, in the record's byte order.
template <class T>
void Append(std::vector<uint8_t> &out, T value) {
  out.resize(out.size() + sizeof(T));
  Put(out, out.size() - sizeof(T), value);
}
void PutTime(std::vector<uint8_t> &out, const TJournalTime &t) {
  for (int v : {t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second}) Append(out, uint16_t(v));
}
void PutText(std::vector<uint8_t> &out, const std::string &text) {
  // Every text the session makes fits: one that does not is a fault, not a text to cut.
  if (text.size() > RunEventTextMax) throw std::length_error("run event text too long");
  Append(out, uint16_t(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

// Reads forward, every read checked against the end.
struct TReader {
  const uint8_t *At, *End;
  bool Ok = true;
  uint32_t Get(size_t bytes) {
    if (!Ok || size_t(End - At) < bytes) return Ok = false, 0;
    const uint32_t v = bytes == 1 ? At[0] : bytes == 2 ? ::Get<uint16_t>(At, 0) : ::Get<uint32_t>(At, 0);
    At += bytes;
    return v;
  }
  TJournalTime Time() {
    TJournalTime t;
    for (int *v : {&t.Year, &t.Month, &t.Day, &t.Hour, &t.Minute, &t.Second}) *v = int(Get(2));
    if (t.Year < 1601 || t.Year > 30827 || t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > 31 ||
        t.Hour > 23 || t.Minute > 59 || t.Second > 59)
      Ok = false;
    return t;
  }
  std::string Text(size_t lengthBytes) {
    const size_t n = Get(lengthBytes);
    if (!Ok || n > RunEventTextMax || size_t(End - At) < n) return Ok = false, std::string();
    std::string text(reinterpret_cast<const char *>(At), n);
    At += n;
    return text;
  }
};
}  // namespace

std::vector<uint8_t> PackRunEvents(const TJournal &run) {
  std::vector<uint8_t> out(RunEventsMagic, RunEventsMagic + 4);
  Append(out, RunEventsVersion);
  Append(out, uint32_t(0));  // the length, once known
  PutTime(out, run.RunStart());
  // The plans first, then the latest events that fit.
  const std::vector<TJournalEvent> &all = run.Events();
  std::vector<const TJournalEvent *> kept;
  const size_t head = std::min(all.size(), MaxPapers);
  for (size_t i = 0; i < all.size(); ++i)
    if (i < head || all.size() - i <= RunEventsMax - head) kept.push_back(&all[i]);
  Append(out, uint32_t(kept.size()));
  for (const TJournalEvent *e : kept) {
    PutTime(out, e->At);
    Append(out, uint32_t(e->Index));
    PutText(out, e->Event);
    PutText(out, e->Detail);
    PutText(out, e->Paper);
  }
  const uint32_t length = uint32_t(out.size());
  for (size_t i = 0; i < 4; ++i) out[8 + i] = uint8_t(length >> (8 * i));
  return out;
}

std::optional<TJournal> ReadRunEvents(const uint8_t *data, size_t size) {
  if (data == nullptr || size < 16 || size > RunEventsMaxBytes ||
      !std::equal(RunEventsMagic, RunEventsMagic + 4, data))
    return std::nullopt;
  TReader in{data + 4, data + size};
  const uint32_t version = in.Get(4);
  if ((version != 1 && version != RunEventsVersion) || in.Get(4) != size) return std::nullopt;
  TJournal run;
  run.StartRun(in.Time());
  const uint32_t count = in.Get(4);
  if (!in.Ok || count > RunEventsMax) return std::nullopt;
  const size_t lengthBytes = version == 1 ? 1 : 2;
  for (uint32_t i = 0; i < count && in.Ok; ++i) {
    TJournalEvent e;
    e.At = in.Time();
    // The first form kept no places: its events take theirs in order.
    e.Index = version == 1 ? (run.Events().empty() ? 0 : run.Events().back().Index + 1) : in.Get(4);
    e.Event = in.Text(lengthBytes), e.Detail = in.Text(lengthBytes), e.Paper = in.Text(lengthBytes);
    if (e.Event.empty() || (in.Ok && !run.Restore(e))) in.Ok = false;
  }
  if (!in.Ok || in.At != in.End) return std::nullopt;
  return run;
}
