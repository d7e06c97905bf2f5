#include "run/uJournal.h"

#include <algorithm>

#include <cstdio>
#include <iterator>
#include <map>
#include <string_view>

#include "base/uText.h"

namespace {

std::string TwoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

bool Is(const TJournalEvent &e, const char *name) { return e.Event == name; }

// 0 for Sunday, from the civil date (proleptic Gregorian).
int WeekDay(int y, int m, int d) {
  static const int shift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) --y;
  return (y + y / 4 - y / 100 + y / 400 + shift[(m - 1) % 12] + d) % 7;
}

// "lundi 7 décembre 2026"
std::string LongDate(const TJournalTime &t) {
  static const char *const days[] = {"dimanche", "lundi", "mardi", "mercredi",
                                     "jeudi",    "vendredi", "samedi"};
  static const char *const months[] = {"janvier", "février", "mars",      "avril",
                                       "mai",     "juin",    "juillet",   "août",
                                       "septembre", "octobre", "novembre", "décembre"};
  if (t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > 31) return JournalDate(t);
  return std::string(days[WeekDay(t.Year, t.Month, t.Day)]) + " " + std::to_string(t.Day) + " " +
         months[t.Month - 1] + " " + std::to_string(t.Year);
}

std::string Cell(const std::string &text) { return "<td>" + HtmlEscape(text) + "</td>"; }

// The time of day that follows `word` in a run's plan ("Compte à rebours de 2:00:00, fin 11 h 00,
// tiers-temps 11 h 40", "Fin à 10 h 45"), as "11:00"; empty when the plan names none.
std::string PlannedTime(const std::string &plan, std::string_view word) {
  std::string lower = plan;
  for (char &c : lower)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  for (size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1)) {
    if (at > 0 && lower[at - 1] != ' ') continue;
    std::string rest = lower.substr(at + word.size());
    if (rest.rfind("à ", 0) == 0) rest.erase(0, 2);
    int hour = 0, minute = 0;
    if (std::sscanf(rest.c_str(), "%2d h %2d", &hour, &minute) == 2 && hour >= 0 && hour < 24 &&
        minute >= 0 && minute < 60)
      return TwoDigits(hour) + ":" + TwoDigits(minute);
  }
  return {};
}

const char *const PageStyle =
    "@page{size:A4;margin:15mm}"
    "body{font-family:Arial,Helvetica,sans-serif;font-size:11pt;color:#000;background:#fff;"
    "max-width:180mm;margin:0 auto}"
    "h1{font-size:16pt;text-align:center;margin:0 0 2mm}"
    "p.date{text-align:center;margin:0 0 5mm}"
    "h2{font-size:12pt;margin:5mm 0 2mm;break-after:avoid;page-break-after:avoid}"
    "table{border-collapse:collapse;width:100%;margin:0 0 3mm}"
    "th,td{border:0.3mm solid #000;padding:1.5mm 2mm;text-align:left;vertical-align:top}"
    "tr{break-inside:avoid;page-break-inside:avoid}"
    "th.label{width:38%;font-weight:normal}"
    "td.blank{height:7mm}"
    "p.none{font-style:italic;margin:0 0 3mm}"
    "div.lines div{border-bottom:0.3mm dotted #000;height:8mm}"
    "table.sign td{height:28mm;width:33%}"
    "div.sign{break-inside:avoid;page-break-inside:avoid}";

}  // namespace

std::string JournalDate(const TJournalTime &t) {
  return std::to_string(t.Year) + "-" + TwoDigits(t.Month) + "-" + TwoDigits(t.Day);
}

std::string JournalClock(const TJournalTime &t) {
  return TwoDigits(t.Hour) + ":" + TwoDigits(t.Minute) + ":" + TwoDigits(t.Second);
}

std::string JournalStamp(const TJournalTime &t) { return JournalDate(t) + " " + JournalClock(t); }

// --- The file ------------------------------------------------------------------------------------

std::string CsvField(const std::string &text) {
  std::string field = text;
  // Behind any apostrophes of the text's own too, so that one mark is all a reader takes away.
  const size_t first = field.find_first_not_of('\'');
  if (first != std::string::npos &&
      std::string_view("=+-@\t\r").find(field[first]) != std::string_view::npos)
    field.insert(0, 1, '\'');
  if (field.find_first_of(";\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JournalFileHeader() {
  return "\xEF\xBB\xBF" + Cp1252ToUtf8("Date;Heure;Chronométrage;Épreuve;Événement;Détail\r\n");
}

std::string JournalLine(const TJournalTime &runStart, const std::string &paper,
                        const TJournalEvent &event) {
  const std::string fields[] = {JournalDate(event.At), JournalClock(event.At),
                                JournalStamp(runStart), paper, event.Event, event.Detail};
  std::string line = CsvField(fields[0]);
  for (size_t i = 1; i < std::size(fields); ++i) {
    line += ';';
    line += CsvField(fields[i]);
  }
  return Cp1252ToUtf8(line) + "\r\n";
}

// --- The latest run ------------------------------------------------------------------------------

void TJournal::StartRun(const TJournalTime &start) {
  hasRun_ = true;
  start_ = start;
  events_.clear();
}

std::string TJournal::Add(const TJournalTime &at, const std::string &event,
                          const std::string &detail, const std::string &paper) {
  if (!hasRun_) StartRun(at);
  events_.push_back({at, event, detail, paper, events_.empty() ? 0 : events_.back().Index + 1});
  return JournalLine(start_, paper, events_.back());
}

bool TJournal::Restore(const TJournalEvent &event) {
  if (!events_.empty() && event.Index <= events_.back().Index) return false;
  events_.push_back(event);
  return true;
}

// --- Lines that wait -----------------------------------------------------------------------------

namespace {
// The lines of CSV bytes, each with its CR LF, a line break inside quotes kept in its line; the
// rest after the last whole line in `tail`.
std::vector<std::string_view> CsvLines(std::string_view bytes, std::string_view &tail) {
  std::vector<std::string_view> lines;
  bool quoted = false;
  size_t from = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '"') quoted = !quoted;
    else if (bytes[i] == '\n' && !quoted) lines.push_back(bytes.substr(from, i + 1 - from)), from = i + 1;
  }
  tail = bytes.substr(from);
  return lines;
}

// The run's stamp of a line: its third field, which is never quoted. Empty when there is none.
std::string_view StampOf(std::string_view line) {
  const size_t a = line.find(';'), b = a == line.npos ? a : line.find(';', a + 1),
               c = b == line.npos ? b : line.find(';', b + 1);
  if (c == line.npos || c - b - 1 != 19) return {};
  const std::string_view stamp = line.substr(b + 1, 19);
  for (size_t i = 0; i < stamp.size(); ++i) {
    const char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
    if (want == '0' ? stamp[i] < '0' || stamp[i] > '9' : stamp[i] != want) return {};
  }
  return stamp;
}

constexpr std::string_view WaitingMark = "Tavelin;en attente;2;";

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (char c : bytes) h = (h ^ uint8_t(c)) * 0x100000001B3ull;
  return h;
}

// A decimal number that ends at `end` in `text` from `at`; nothing for anything else.
std::optional<uint64_t> Decimal(std::string_view text, size_t &at, char end) {
  uint64_t n = 0;
  size_t digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 19; ++at, ++digits)
    n = n * 10 + uint64_t(text[at] - '0');
  if (digits == 0 || at >= text.size() || text[at] != end) return std::nullopt;
  ++at;
  return n;
}
}  // namespace

TJournalEntry JournalEntryOf(const TJournal &run) {
  TJournalEntry entry;
  if (run.Events().empty()) return entry;
  const TJournalEvent &e = run.Events().back();
  entry.Stamp = JournalStamp(run.RunStart());
  entry.Index = e.Index;
  entry.Line = JournalLine(run.RunStart(), e.Paper, e);
  for (size_t i = 0; i + 1 < run.Events().size(); ++i) {
    const TJournalEvent &o = run.Events()[i];
    if (o.At == e.At && o.Event == e.Event && o.Detail == e.Detail && o.Paper == e.Paper) ++entry.Alike;
  }
  return entry;
}

std::string JournalAppend(const std::string &file, const std::vector<TJournalEntry> &entries) {
  const std::string header = JournalFileHeader();
  std::string out;
  std::string_view tail;
  const std::vector<std::string_view> lines = CsvLines(file, tail);
  if (lines.empty() && header.compare(0, tail.size(), tail) == 0) {
    out = header.substr(tail.size());
    tail = {};
  }
  std::vector<std::string_view> stamps;
  for (const TJournalEntry &e : entries) stamps.push_back(e.Stamp);
  std::map<std::string_view, uint32_t> held;
  for (const std::string_view line : lines)
    if (std::find(stamps.begin(), stamps.end(), StampOf(line)) != stamps.end()) ++held[line];
  std::map<std::string_view, uint32_t> written;
  auto missing = [&](const TJournalEntry &e) { return held[e.Line] + written[e.Line] <= e.Alike; };
  if (!tail.empty() && std::any_of(entries.begin(), entries.end(), missing)) {
    // A write cut short is completed with the line it began: a run's lines go in their order, so
    // it is the first missing one of its run. Any other is closed as it is.
    std::vector<std::string_view> runs;
    const auto cut = std::find_if(entries.begin(), entries.end(), [&](const TJournalEntry &e) {
      if (!missing(e) || std::find(runs.begin(), runs.end(), e.Stamp) != runs.end()) return false;
      runs.push_back(e.Stamp);
      return e.Line.size() > tail.size() && e.Line.compare(0, tail.size(), tail) == 0;
    });
    if (cut != entries.end()) {
      out += cut->Line.substr(tail.size());
      ++written[cut->Line];
    } else {
      // Its quote closed too, or every line after it would read as inside it.
      if (std::count(tail.begin(), tail.end(), '"') % 2 != 0) out += '"';
      out += "\r\n";
    }
  }
  for (const TJournalEntry &e : entries) {
    if (!missing(e)) continue;
    out += e.Line;
    ++written[e.Line];
  }
  return out;
}

std::string PackWaiting(const std::vector<TJournalEntry> &entries) {
  std::string body;
  for (const TJournalEntry &e : entries)
    body += e.Stamp + ";" + std::to_string(e.Index) + ";" + std::to_string(e.Alike) + ";" +
            std::to_string(e.Line.size()) + "\r\n" + e.Line;
  char sum[17];
  std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(Fnv1a(body)));
  return std::string(WaitingMark) + std::to_string(entries.size()) + ";" + sum + "\r\n" + body;
}

std::optional<std::vector<TJournalEntry>> ReadWaiting(const std::string &bytes) {
  std::vector<TJournalEntry> entries;
  const std::string_view all = bytes;
  if (all.substr(0, WaitingMark.size()) != WaitingMark) {
    // The earlier form: the lines alone. A file of zeros or of another program's bytes is not it.
    if (all.find('\0') != all.npos) return std::nullopt;
    std::string_view tail;
    std::map<std::string_view, uint32_t> places, alike;
    for (const std::string_view line : CsvLines(all, tail)) {
      const std::string_view stamp = StampOf(line);
      if (stamp.empty() || line.size() < 2 || line[line.size() - 2] != '\r') continue;
      entries.push_back({std::string(stamp), places[stamp]++, alike[line]++, std::string(line)});
    }
    if (entries.empty() && !all.empty()) return std::nullopt;
    return entries;
  }
  size_t at = WaitingMark.size();
  const std::optional<uint64_t> count = Decimal(all, at, ';');
  if (!count || all.size() < at + 18 || all.substr(at + 16, 2) != "\r\n") return std::nullopt;
  const std::string_view body = all.substr(at + 18);
  char sum[17];
  std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(Fnv1a(body)));
  if (all.substr(at, 16) != sum) return std::nullopt;
  for (at = 0; at < body.size();) {
    TJournalEntry e;
    e.Stamp = std::string(body.substr(at, 19));
    at += 19;
    if (at >= body.size() || body[at++] != ';') return std::nullopt;
    const auto index = Decimal(body, at, ';'), alike = Decimal(body, at, ';'), size = Decimal(body, at, '\r');
    if (!index || !alike || !size || *index > UINT32_MAX || *alike > UINT32_MAX ||
        at >= body.size() || body[at++] != '\n' || *size > body.size() - at)
      return std::nullopt;
    e.Index = uint32_t(*index), e.Alike = uint32_t(*alike);
    e.Line = std::string(body.substr(at, *size));
    at += *size;
    if (StampOf(e.Line) != e.Stamp) return std::nullopt;
    entries.push_back(std::move(e));
  }
  if (entries.size() != *count) return std::nullopt;
  return entries;
}

bool TJournalQueue::Push(const TJournalEntry &entry, int64_t nowMs) {
  Merge({entry});
  return !failing_ || nowMs - failedAt_ >= RetryMs;
}

void TJournalQueue::Merge(const std::vector<TJournalEntry> &entries) {
  for (const TJournalEntry &e : entries)
    if (std::find(entries_.begin(), entries_.end(), e) == entries_.end()) entries_.push_back(e);
  // A run's lines in their order, the runs in the order they started.
  std::stable_sort(entries_.begin(), entries_.end(), [](const TJournalEntry &a, const TJournalEntry &b) {
    return a.Stamp != b.Stamp ? a.Stamp < b.Stamp : a.Index < b.Index;
  });
}

bool TJournalQueue::RetryDue(int64_t nowMs) const {
  return failing_ && !Empty() && nowMs - failedAt_ >= RetryMs;
}

void TJournalQueue::Written() {
  entries_.clear();
  failing_ = told_ = false;
}

bool TJournalQueue::Failed(int64_t nowMs) {
  failing_ = true;
  failedAt_ = nowMs;
  const bool tell = !told_;
  told_ = true;
  return tell;
}

namespace {
constexpr std::string_view HeadingSeparator = " ; ", EstablishmentLabel = "Établissement : ",
                           RoomLabel = "Salle : ", PlannedStartWords = "début prévu ";
}  // namespace

std::string RunHeadingText(const TRunHeading &heading) {
  std::string text = heading.Name;
  auto add = [&text](std::string_view label, const std::string &value) {
    if (value.empty()) return;
    if (!text.empty()) text += HeadingSeparator;
    text += std::string(label) + value;
  };
  add(EstablishmentLabel, heading.Establishment);
  add(RoomLabel, heading.Room);
  if (heading.StartMinute >= 0)
    add(PlannedStartWords, "à " + std::to_string(heading.StartMinute / 60) + " h " +
                               TwoDigits(heading.StartMinute % 60));
  return text;
}

TRunHeading ReadRunHeading(const std::string &detail) {
  TRunHeading heading;
  std::vector<std::string> name;
  for (size_t at = 0; at <= detail.size();) {
    size_t next = detail.find(HeadingSeparator, at);
    if (next == std::string::npos) next = detail.size();
    const std::string part = detail.substr(at, next - at);
    if (part.rfind(EstablishmentLabel, 0) == 0) {
      heading.Establishment = part.substr(EstablishmentLabel.size());
    } else if (part.rfind(RoomLabel, 0) == 0) {
      heading.Room = part.substr(RoomLabel.size());
    } else if (const std::string start = PlannedTime(part, PlannedStartWords);
               part.rfind(PlannedStartWords, 0) == 0 && !start.empty()) {
      heading.StartMinute = std::stoi(start.substr(0, 2)) * 60 + std::stoi(start.substr(3, 2));
    } else {
      name.push_back(part);
    }
    at = next + HeadingSeparator.size();
  }
  for (size_t i = 0; i < name.size(); ++i)
    heading.Name += (i ? std::string(HeadingSeparator) : std::string()) + name[i];
  return heading;
}

// --- The procès-verbal ---------------------------------------------------------------------------

std::string HtmlEscape(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ProcesVerbalFileName(const TJournalTime &runStart, int copy) {
  return "Procès-verbal " + JournalDate(runStart) + " " + TwoDigits(runStart.Hour) + " h " +
         TwoDigits(runStart.Minute) + (copy > 1 ? " (" + std::to_string(copy) + ")" : "") +
         ".html";
}

std::string ProcesVerbalHtml(const TJournalTime &runStart,
                             const std::vector<TJournalEvent> &events) {
  const std::string title = "Procès-verbal de déroulement de l'épreuve";
  std::string h =
      "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
      " - " + JournalDate(runStart) + "</title>\n<style>" + PageStyle +
      "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n<p class=\"date\">" +
      LongDate(runStart) + "</p>\n";

  // What a plan named fills its blanks; the rest is the room's to write.
  TRunHeading heading;
  for (const TJournalEvent &e : events)
    if (Is(e, journal::Plan)) heading = ReadRunHeading(e.Detail);
  h += "<table>\n";
  for (auto [blank, value] : {std::pair{"Établissement", &heading.Establishment},
                              std::pair{"Salle", &heading.Room}, std::pair{"Épreuve", &heading.Name},
                              std::pair{"Surveillants", (std::string *)nullptr},
                              std::pair{"Candidats inscrits / présents", (std::string *)nullptr},
                              std::pair{"Copies remises", (std::string *)nullptr}})
    h += std::string("<tr><th class=\"label\">") + blank +
         (value && !value->empty() ? "</th><td>" + HtmlEscape(*value)
                                   : std::string("</th><td class=\"blank\">")) +
         "</td></tr>\n";
  h += "</table>\n";

  // The start and the ends: planned (the plan that Tavelin was given) and as they came; of each
  // épreuve of a run of several, whose own lines name it and whose end may be the run's.
  std::vector<std::string> papers;
  std::vector<const TJournalEvent *> pauses, added, others;
  for (const TJournalEvent &e : events) {
    if (!e.Paper.empty() && std::find(papers.begin(), papers.end(), e.Paper) == papers.end())
      papers.push_back(e.Paper);
    if (Is(e, journal::Start) || Is(e, journal::NormalEnd) || Is(e, journal::End) ||
        Is(e, journal::Stopped) || Is(e, journal::Exit) || Is(e, journal::Plan)) {
      continue;
    } else if (Is(e, journal::Pause) || Is(e, journal::Resume)) {
      pauses.push_back(&e);
    } else if (Is(e, journal::TimeAdded)) {
      added.push_back(&e);
    } else {
      others.push_back(&e);
    }
  }
  if (papers.empty()) papers.emplace_back();
  for (const std::string &paper : papers) {
    const TJournalEvent *start = nullptr, *normalEnd = nullptr, *end = nullptr, *runEnd = nullptr,
                        *exit = nullptr;
    for (const TJournalEvent &e : events) {
      const bool own = e.Paper == paper;
      if (Is(e, journal::Exit)) {
        exit = &e;
      } else if (Is(e, journal::Start) && own) {
        if (!start) start = &e;
      } else if (Is(e, journal::NormalEnd) && own) {
        normalEnd = &e;
      } else if (Is(e, journal::End) || Is(e, journal::Stopped)) {
        if (own) end = &e;
        if (e.Paper.empty()) runEnd = &e;
      }
    }
    if (!end) end = runEnd;
    // Planned: the start, and the ends that the plan given at the start names; as they came: the
    // events' own times. The plan's words keep a line of their own.
    const std::string plan = start ? start->Detail : std::string();
    const std::string plannedEnd = PlannedTime(plan, "fin "),
                      plannedExtended = PlannedTime(plan, "tiers-temps ");
    auto row = [&h](const std::string &label, const std::string &planned, const std::string &actual) {
      h += "<tr><th class=\"label\">" + label + "</th><td>" + HtmlEscape(planned) + "</td><td>" +
           HtmlEscape(actual) + "</td></tr>\n";
    };
    h += "<h2>Horaires" + (paper.empty() ? std::string() : " : " + HtmlEscape(paper)) +
         "</h2>\n<table>\n<tr><th class=\"label\"></th><th>Prévu</th><th>Effectif</th></tr>\n";
    const std::string plannedStart =
        heading.StartMinute >= 0
            ? TwoDigits(heading.StartMinute / 60) + ":" + TwoDigits(heading.StartMinute % 60) + ":00"
            : start ? JournalClock(start->At) : "";
    row("Début", plannedStart, JournalClock(start ? start->At : runStart));
    if (normalEnd || !plannedExtended.empty())
      row("Fin du temps normal", plannedEnd, normalEnd ? JournalClock(normalEnd->At) : "");
    row(end && Is(*end, journal::Stopped) ? "Arrêt avant la fin" : "Fin",
        plannedExtended.empty() ? plannedEnd : plannedExtended,
        !end ? "en cours"
             : JournalClock(end->At) + (end->Detail.empty() ? "" : " (" + end->Detail + ")"));
    // The room's moment to leave, in the block of the plan that named it.
    if (const std::string plannedExit = PlannedTime(plan, "sortie à partir de "); !plannedExit.empty())
      row("Sortie autorisée", plannedExit, exit ? JournalClock(exit->At) : "");
    if (!plan.empty())
      h += "<tr><th class=\"label\">Réglage</th><td colspan=\"2\">" + HtmlEscape(plan) +
           "</td></tr>\n";
    h += "</table>\n";
  }

  h += "<h2>Interruptions</h2>\n";
  if (pauses.empty()) {
    h += "<p class=\"none\">Aucune.</p>\n";
  } else {
    h += "<table>\n<tr><th>Interrompu à</th><th>Repris à</th><th>Durée</th></tr>\n";
    for (size_t i = 0; i < pauses.size(); ++i) {
      const TJournalEvent *pause = Is(*pauses[i], journal::Pause) ? pauses[i] : nullptr;
      const TJournalEvent *resume = pause ? nullptr : pauses[i];
      if (pause && i + 1 < pauses.size() && Is(*pauses[i + 1], journal::Resume))
        resume = pauses[++i];
      h += "<tr>" + Cell(pause ? JournalClock(pause->At) : "") +
           Cell(resume ? JournalClock(resume->At) : "") + Cell(resume ? resume->Detail : "") +
           "</tr>\n";
    }
    h += "</table>\n";
  }

  h += "<h2>Temps ajouté</h2>\n";
  if (added.empty()) {
    h += "<p class=\"none\">Aucun.</p>\n";
  } else {
    h += "<table>\n<tr><th>Heure</th><th>Temps, motif et nouvelles fins</th></tr>\n";
    for (const TJournalEvent *e : added)
      h += "<tr>" + Cell(JournalClock(e->At)) + Cell(e->Detail) + "</tr>\n";
    h += "</table>\n";
  }

  h += "<h2>Autres événements</h2>\n";
  if (others.empty()) {
    h += "<p class=\"none\">Aucun.</p>\n";
  } else {
    h += "<table>\n<tr><th>Heure</th><th>Événement</th><th>Détail</th></tr>\n";
    for (const TJournalEvent *e : others)
      h += "<tr>" + Cell(JournalClock(e->At)) +
           Cell(e->Paper.empty() ? e->Event : e->Event + " (" + e->Paper + ")") +
           Cell(e->Detail) + "</tr>\n";
    h += "</table>\n";
  }

  h += "<h2>Observations</h2>\n<div class=\"lines\"><div></div><div></div><div></div><div></div>"
       "</div>\n";
  h += "<div class=\"sign\">\n<h2>Signatures</h2>\n<table class=\"sign\">\n"
       "<tr><th>Surveillant</th><th>Surveillant</th><th>Chef de centre</th></tr>\n"
       "<tr><td></td><td></td><td></td></tr>\n</table>\n</div>\n</body>\n</html>\n";
  return Cp1252ToUtf8(h);
}
