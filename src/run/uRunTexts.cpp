// uRunTexts - the texts of a run. See the header.
#include "run/uRunTexts.h"

#include <cstdio>
#include <cstdlib>

#include "run/uEndTime.h"

std::string ExamEventText(const TExamEvent &event) {
  switch (event.Kind) {
    case TExamEventKind::Warning:
      return "Plus que " + std::to_string(event.Minutes) + " min";
    case TExamEventKind::NormalEnd:
      return "Fin du temps normal";
    case TExamEventKind::PaperEnd:
    case TExamEventKind::None:
      break;
  }
  return {};
}

std::string ExamEventText(const TExamEvent &event, const std::string &paperName) {
  if (paperName.empty()) return ExamEventText(event);
  switch (event.Kind) {
    case TExamEventKind::Warning:
      return paperName + " : plus que " + std::to_string(event.Minutes) + " min";
    case TExamEventKind::NormalEnd:
      return paperName + " : fin du temps normal";
    case TExamEventKind::PaperEnd:
      return "Fin : " + paperName;
    case TExamEventKind::None:
      break;
  }
  return {};
}

std::string ExitText(const TRunTimes &times) {
  if (!times.HasExit) return {};
  return times.ExitCame ? "Sortie autorisée" : "Sortie à partir de " + MinuteTextAt(times.ExitMs);
}

std::string ClockBandText(int64_t nowLocalMs, const TRunTimes &times) {
  std::string text = "Il est " + MinuteTextAt(nowLocalMs);
  if (times.Started) text += "   Début " + MinuteTextAt(times.StartMs);
  if (times.HasEnd) {
    text += "   Fin " + MinuteTextAt(times.NormalEndMs);
    if (times.HasExtended) text += "   Tiers-temps " + MinuteTextAt(times.ExtendedEndMs);
    text += AddedText(times.AddedSeconds);
  }
  return times.HasExit ? text + "   " + ExitText(times) : text;
}

std::string StartText(int64_t startLocalMs) { return "Début à " + MinuteTextAt(startLocalMs); }

std::string WaitingBandText(int64_t nowLocalMs, int64_t startLocalMs, const TRunTimes &times) {
  TRunTimes ahead = times;
  ahead.Started = false;
  const std::string now = "Il est " + MinuteTextAt(nowLocalMs);
  return now + "   " + StartText(startLocalMs) + ClockBandText(nowLocalMs, ahead).substr(now.size());
}

std::string EndPanelText(const TRunTimes &times) {
  std::string text = "Fin à " + MinuteTextAt(times.NormalEndMs);
  if (times.HasExtended) text += " · " + MinuteTextAt(times.ExtendedEndMs);
  return text + AddedText(times.AddedSeconds);
}

std::string AddedText(int seconds) {
  const int minutes = (seconds + (seconds < 0 ? -30 : 30)) / 60;
  if (minutes == 0) return {};
  return " (" + std::string(minutes > 0 ? "+" : "-") + std::to_string(std::abs(minutes)) + " min)";
}

std::string ShortDuration(uint32_t seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::vector<std::string> AddedTimeLines(bool toTimeOfDay, const TRunTimes &before,
                                        const TRunTimes &after, const TRunEnds &endsBefore,
                                        const TRunEnds &endsAfter) {
  std::vector<std::string> lines;
  auto line = [&](const char *what, const char *later, const char *sooner, int64_t from, int64_t to,
                  bool asTime) {
    if (from == to) return;
    lines.push_back(std::string(what) + (to > from ? later : sooner) + " de " +
                    (asTime ? MinuteTextAt(from) : ShortDuration(uint32_t(from))) + " à " +
                    (asTime ? MinuteTextAt(to) : ShortDuration(uint32_t(to))));
  };
  if (toTimeOfDay) {
    line("Fin", " reportée", " avancée", before.NormalEndMs, after.NormalEndMs, true);
    if (before.HasExtended)
      line("Tiers-temps", " reporté", " avancé", before.ExtendedEndMs, after.ExtendedEndMs, true);
    return lines;
  }
  line("Temps total", " porté", " porté", endsBefore.TotalSeconds, endsAfter.TotalSeconds, false);
  if (before.HasExtended)
    line("Tiers-temps", " porté", " porté", int64_t{endsBefore.TotalSeconds} + endsBefore.ExtraSeconds,
         int64_t{endsAfter.TotalSeconds} + endsAfter.ExtraSeconds, false);
  return lines;
}

std::string RunEndsText(const TRunTimes &times) {
  if (!times.HasEnd) return {};
  std::string text = "fin " + MinuteTextAt(times.NormalEndMs);
  if (times.HasExtended) text += ", tiers-temps " + MinuteTextAt(times.ExtendedEndMs);
  return text;
}

std::string RunPlanText(bool countsDown, bool toTimeOfDay, const TRunEnds &ends,
                        const TRunTimes &times) {
  if (toTimeOfDay) {
    std::string text = "Fin à " + MinuteTextAt(times.NormalEndMs);
    if (times.HasExtended) text += ", tiers-temps " + MinuteTextAt(times.ExtendedEndMs);
    return text;
  }
  if (ends.TotalSeconds == 0) return "Chronométrage sans fin";
  return std::string(countsDown ? "Compte à rebours de " : "Chronométrage de ") +
         ShortDuration(ends.TotalSeconds) + ", " + RunEndsText(times);
}

std::string ClockStepText(int64_t ms) {
  const int64_t s = (std::abs(ms) + 500) / 1000;
  char text[48];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%lld h %02lld min %02lld s", (long long)(s / 3600),
                  (long long)(s / 60 % 60), (long long)(s % 60));
  else
    std::snprintf(text, sizeof text, "%lld min %02lld s", (long long)(s / 60), (long long)(s % 60));
  return (ms < 0 ? "retardée de " : "avancée de ") + std::string(text);
}

std::string TimeAddedDetail(int seconds, const std::string &reason) {
  const int magnitude = std::abs(seconds);
  // Under a minute to the second: a run brought to its end moved it by less.
  return (magnitude < 60 ? std::to_string(magnitude) + " s" : std::to_string((magnitude + 30) / 60) + " min") +
         (seconds < 0 ? " de moins" : " de plus") + (reason.empty() ? "" : ", " + reason);
}

std::string TakeUpQuestion(const std::string &startText, const std::string &endText, bool paused,
                           uint32_t digitsSeconds) {
  return "Un chronométrage commencé à " + startText +
         (endText.empty() ? "" : " (fin à " + endText + ")") + " a été interrompu ; " +
         (paused ? "il était en pause à " : "il en serait à ") + ShortDuration(digitsSeconds) +
         ". Le reprendre ?";
}
