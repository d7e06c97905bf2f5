#include "timing/uJournal.h"

#include <algorithm>

#include <cstdio>
#include <iterator>
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
  events_.push_back({at, event, detail, paper});
  return JournalLine(start_, paper, events_.back());
}

// --- Lines that wait -----------------------------------------------------------------------------

bool TJournalQueue::Push(const std::string &line, int64_t nowMs) {
  lines_ += line;
  return !failing_ || nowMs - failedAt_ >= RetryMs;
}

bool TJournalQueue::RetryDue(int64_t nowMs) const {
  return failing_ && !Empty() && nowMs - failedAt_ >= RetryMs;
}

std::string TJournalQueue::Block(bool freshFile) const {
  return (freshFile ? JournalFileHeader() : owedHeader_) + lines_;
}

size_t TJournalQueue::Lines() const {
  const std::string block = Block(false);
  return size_t(std::count(block.begin(), block.end(), '\n'));
}

void TJournalQueue::Wrote(bool freshFile, size_t bytes) {
  // A new file gets the whole header; the rest of one cut short is owed to the file it began.
  const std::string head = freshFile ? JournalFileHeader() : owedHeader_;
  if (bytes < head.size()) {
    owedHeader_ = head.substr(bytes);
    return;
  }
  owedHeader_.clear();
  lines_.erase(0, std::min(bytes - head.size(), lines_.size()));
  if (lines_.empty()) failing_ = told_ = false;
}

bool TJournalQueue::Failed(int64_t nowMs) {
  failing_ = true;
  failedAt_ = nowMs;
  const bool tell = !told_;
  told_ = true;
  return tell;
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

  h += "<table>\n";
  for (const char *blank : {"Établissement", "Salle", "Épreuve", "Surveillants",
                            "Candidats inscrits / présents", "Copies remises"})
    h += std::string("<tr><th class=\"label\">") + blank + "</th><td class=\"blank\"></td></tr>\n";
  h += "</table>\n";

  // The start and the ends: planned (the plan that Tavelin was given) and as they came; of each
  // épreuve of a run of several, whose own lines name it and whose end may be the run's.
  std::vector<std::string> papers;
  std::vector<const TJournalEvent *> pauses, added, others;
  for (const TJournalEvent &e : events) {
    if (!e.Paper.empty() && std::find(papers.begin(), papers.end(), e.Paper) == papers.end())
      papers.push_back(e.Paper);
    if (Is(e, journal::Start) || Is(e, journal::NormalEnd) || Is(e, journal::End) ||
        Is(e, journal::Stopped) || Is(e, journal::Exit)) {
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
    row("Début", start ? JournalClock(start->At) : "", JournalClock(start ? start->At : runStart));
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
