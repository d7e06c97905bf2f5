// uExamPlan - the exam clock's arithmetic. See the header.
#include "run/uExamPlan.h"

#include <algorithm>
#include <functional>

namespace {
// The smallest warning shorter than a stretch of `length` seconds, in seconds; 0 for none.
uint32_t SmallestWithin(const std::vector<uint32_t> &warnSeconds, uint32_t length) {
  uint32_t smallest = 0;
  for (uint32_t w : warnSeconds)
    if (w < length && (smallest == 0 || w < smallest)) smallest = w;
  return smallest;
}
}  // namespace

uint32_t ExtraThirdSeconds(uint32_t totalSeconds, bool wholeMinutes) {
  uint32_t extra = totalSeconds / 3 + (totalSeconds % 3 != 0);
  if (wholeMinutes) extra = (extra + 59) / 60 * 60;
  return extra;
}

namespace {
// Each warning once, the largest kept: a repeated one would warn twice at the same second.
std::vector<uint32_t> WarnSeconds(const std::vector<uint32_t> &warnMinutes) {
  std::vector<uint32_t> seconds;
  for (uint32_t m : warnMinutes)
    if (m != 0 && m <= 999) seconds.push_back(m * 60);
  std::sort(seconds.begin(), seconds.end(), std::greater<>());
  seconds.erase(std::unique(seconds.begin(), seconds.end()), seconds.end());
  if (seconds.size() > TExamPlan::MaxWarnings) seconds.resize(TExamPlan::MaxWarnings);
  return seconds;
}
}  // namespace

void TExamPlan::Warn(const std::vector<uint32_t> &warnSeconds, const TPaperEnds &ends,
                     uint8_t paper) {
  auto warn = [&](uint32_t end, uint32_t length) {
    for (uint32_t w : warnSeconds)
      if (w < length) moments_.push_back({end - w, {TExamEventKind::Warning, w / 60, paper}});
  };
  warn(ends.TotalSeconds, ends.TotalSeconds);
  if (ends.ExtraSeconds != 0) {
    moments_.push_back({ends.TotalSeconds, {TExamEventKind::NormalEnd, 0, paper}});
    warn(ends.Last(), ends.ExtraSeconds);
  }
}

void TExamPlan::Sort() {
  // One run cannot have two moments at one second (no warning repeats, each lies within its own
  // stretch); épreuves can: the end weighs more than a warning, so it comes last of its second,
  // and épreuves of one kind come in row order.
  std::stable_sort(moments_.begin(), moments_.end(), [](const TMoment &a, const TMoment &b) {
    return a.At != b.At ? a.At < b.At : a.Event.Kind < b.Event.Kind;
  });
}

TExamPlan::TExamPlan(uint32_t totalSeconds, uint32_t extraSeconds,
                     const std::vector<uint32_t> &warnMinutes)
    : total_(totalSeconds), extra_(totalSeconds == 0 ? 0 : extraSeconds) {
  if (total_ == 0) return;
  const std::vector<uint32_t> seconds = WarnSeconds(warnMinutes);
  amberBefore_ = SmallestWithin(seconds, total_);
  if (extra_ != 0) amberAfter_ = SmallestWithin(seconds, extra_);
  Warn(seconds, {total_, extra_}, 0);
  Sort();
}

TExamPlan::TExamPlan(const std::vector<TPaperEnds> &papers,
                     const std::vector<uint32_t> &warnMinutes) {
  for (const TPaperEnds &p : papers) total_ = std::max(total_, p.Last());
  if (total_ == 0) return;
  const std::vector<uint32_t> seconds = WarnSeconds(warnMinutes);
  for (size_t i = 0; i < papers.size() && i < MaxPapers; ++i) {
    if (papers[i].TotalSeconds == 0) continue;
    Warn(seconds, papers[i], uint8_t(i));
    // The last end of all is the run's own, which ends it.
    if (papers[i].Last() < total_)
      moments_.push_back({papers[i].Last(), {TExamEventKind::PaperEnd, 0, uint8_t(i)}});
  }
  Sort();
}

uint32_t TExamPlan::EndAt(uint32_t elapsed) const {
  return extra_ != 0 && elapsed < total_ ? total_ : total_ + extra_;
}

TTickEvents TExamPlan::Events(uint32_t before, uint32_t after) const {
  TTickEvents events;
  auto m = std::upper_bound(moments_.begin(), moments_.end(), before,
                            [](uint32_t at, const TMoment &moment) { return at < moment.At; });
  for (; m != moments_.end() && m->At <= after; ++m) events.Add(m->Event);
  return events;
}

std::vector<std::pair<uint32_t, TExamEvent>> TExamPlan::Timed(uint32_t before, uint32_t after) const {
  std::vector<std::pair<uint32_t, TExamEvent>> events;
  auto m = std::upper_bound(moments_.begin(), moments_.end(), before,
                            [](uint32_t at, const TMoment &moment) { return at < moment.At; });
  for (; m != moments_.end() && m->At <= after; ++m) events.emplace_back(m->At, m->Event);
  return events;
}

bool TExamPlan::AmberAt(uint32_t elapsed) const {
  if (total_ == 0 || elapsed > Length()) return false;
  const bool beforeNormalEnd = extra_ != 0 && elapsed < total_;
  const uint32_t smallest = beforeNormalEnd || extra_ == 0 ? amberBefore_ : amberAfter_;
  return smallest != 0 && EndAt(elapsed) - elapsed <= smallest;
}

bool SecondsLit(uint32_t elapsed, uint32_t total, uint32_t extra, uint32_t nearEndMinutes,
                bool overtime) {
  if (nearEndMinutes == 0 || total == 0 || overtime) return true;
  const uint64_t end = uint64_t(total) + (extra != 0 && elapsed < total ? 0 : extra);
  return elapsed >= end || end - elapsed <= uint64_t(nearEndMinutes) * 60;
}
