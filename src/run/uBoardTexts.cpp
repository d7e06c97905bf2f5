// uBoardTexts - the room's board. See the header.
#include "run/uBoardTexts.h"

#include <algorithm>

#include "run/uEndTime.h"
#include "run/uExamPaper.h"

namespace {
// Between two columns: the room four spaces take in the board's font.
constexpr const char *ColumnGap = "    ";
constexpr const char *Ellipsis = "…";

// "reste 25 min", or the seconds in the last minute; both rounded up, so that "reste 1 min"
// never stands for a minute already begun less than a minute ago.
std::string LeftText(int64_t ms) {
  const int64_t seconds = (ms + 999) / 1000;
  if (seconds < 60) return "reste " + std::to_string(seconds) + " s";
  return "reste " + std::to_string((seconds + 59) / 60) + " min";
}

TBoardLine LineOf(int64_t now, const std::string &name, const TRunTimes &t, size_t row,
                  const TBoardCount &count) {
  TBoardLine line;
  line.Name = name;
  if (!t.HasEnd) return line;
  const int64_t last = t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs;
  if (t.Started && now >= last) {
    line.End = "terminée à " + MinuteTextAt(last);
    line.Over = true;
    return line;
  }
  line.End = "fin " + MinuteTextAt(t.NormalEndMs);
  if (t.HasExtended) line.Extended = "tiers-temps " + MinuteTextAt(t.ExtendedEndMs);
  if (!t.Started) return line;
  line.Left = LeftText((now < t.NormalEndMs ? t.NormalEndMs : t.ExtendedEndMs) - now);
  // As the engine would colour a run of this épreuve alone.
  if (row < count.Ends.size())
    line.Amber = TExamPlan(count.Ends[row].TotalSeconds, count.Ends[row].ExtraSeconds, count.WarnMinutes)
                     .AmberAt(count.RunSeconds);
  return line;
}

int Widest(const std::vector<TBoardLine> &lines, std::string TBoardLine::*part, bool over,
           const TTextWidth &measure) {
  int widest = 0;
  for (const TBoardLine &l : lines)
    if (l.Over == over && !(l.*part).empty()) widest = std::max(widest, measure(l.*part));
  return widest;
}
}  // namespace

std::vector<TBoardLine> BoardLines(int64_t nowLocalMs, const std::vector<std::string> &names,
                                   const std::vector<TRunTimes> &papers,
                                   const TBoardCount &count) {
  std::vector<TBoardLine> lines;
  for (size_t row = 0; row < papers.size(); ++row) {
    const std::string name = PaperName(row < names.size() ? names[row] : "", row);
    lines.push_back(LineOf(nowLocalMs, name, papers[row], row, count));
    lines.back().Row = row;
  }
  // An épreuve without an end (none is, but a row may come without its times) goes last.
  std::stable_sort(lines.begin(), lines.end(), [&](const TBoardLine &a, const TBoardLine &b) {
    const TRunTimes &ta = papers[a.Row], &tb = papers[b.Row];
    if (ta.HasEnd != tb.HasEnd) return ta.HasEnd;
    return ta.HasEnd && ta.NormalEndMs < tb.NormalEndMs;
  });
  // The room's moment to leave under them, its words across the columns as an ended line's.
  if (!papers.empty() && papers[0].HasExit) {
    TBoardLine exit;
    exit.Row = papers.size();
    exit.Name = "Sortie";
    exit.End = papers[0].ExitCame ? "autorisée" : "à partir de " + MinuteTextAt(papers[0].ExitMs);
    exit.Over = true;
    lines.push_back(exit);
  }
  return lines;
}

std::string CutName(const std::string &name, const std::function<bool(const std::string &)> &fits) {
  if (fits(name)) return name;
  // The longest beginning that fits with its "…": a longer one never fits when a shorter does
  // not, so the search halves.
  size_t low = 0, high = name.size();  // low + "…" fits or is to be tried; high does not
  auto cut = [&](size_t n) {
    std::string s = name.substr(0, n);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s + Ellipsis;
  };
  if (!fits(cut(0))) return {};
  while (high - low > 1) {
    const size_t mid = low + (high - low) / 2;
    (fits(cut(mid)) ? low : high) = mid;
  }
  return cut(low);
}

TBoardColumns BoardColumns(const std::vector<TBoardLine> &lines, int width,
                           const TTextWidth &measure) {
  const int gap = measure(ColumnGap);
  const int end = Widest(lines, &TBoardLine::End, false, measure);
  const int extended = Widest(lines, &TBoardLine::Extended, false, measure);
  int left = Widest(lines, &TBoardLine::Left, false, measure);
  // Room for two digits of minutes from the start, so that the count going down moves nothing.
  if (left > 0) left = std::max(left, measure("reste 59 min"));
  int rest = end + (extended > 0 ? gap + extended : 0) + (left > 0 ? gap + left : 0);
  rest = std::max(rest, Widest(lines, &TBoardLine::End, true, measure));
  int names = 0;
  for (const TBoardLine &l : lines) names = std::max(names, measure(l.Name));

  TBoardColumns c;
  c.NameWidth = std::max(0, std::min(names, width - gap - rest));
  c.Name = std::max(0, (width - (c.NameWidth + gap + rest)) / 2);
  c.End = c.Name + c.NameWidth + gap;
  c.Extended = c.End + end + gap;
  c.Left = extended > 0 ? c.Extended + extended + gap : c.Extended;
  return c;
}

std::vector<std::string> BoardShownNames(const std::vector<TBoardLine> &lines,
                                         const TBoardColumns &columns, const TTextWidth &measure) {
  std::vector<std::string> shown;
  for (const TBoardLine &l : lines)
    shown.push_back(
        CutName(l.Name, [&](const std::string &s) { return measure(s) <= columns.NameWidth; }));
  return shown;
}

int BoardLongestWidth(const std::vector<std::string> &names, const TTextWidth &measure) {
  int name = 0;
  for (const std::string &n : names) name = std::max(name, measure(n));
  name = std::min(name, measure("Histoire-géographie"));
  return name + 3 * measure(ColumnGap) + measure("fin 23 h 59") + measure("tiers-temps 23 h 59") +
         measure("reste 999 min");
}

namespace {
// The next end to come of a board's épreuves: which, when, and whether it is an extended end.
struct TNextEnd {
  size_t Paper;
  int64_t At = 0;
  bool Extended = false;
};
TNextEnd NextEnd(const std::vector<TRunTimes> &papers, int64_t nowLocalMs) {
  TNextEnd next{papers.size()};
  for (size_t i = 0; i < papers.size(); ++i) {
    const TRunTimes &t = papers[i];
    if (!t.HasEnd) continue;
    const bool normalToCome = t.NormalEndMs > nowLocalMs;
    const int64_t end = normalToCome ? t.NormalEndMs : t.ExtendedEndMs;
    if (!normalToCome && (!t.HasExtended || end <= nowLocalMs)) continue;
    if (next.Paper == papers.size() || end < next.At) next = {i, end, !normalToCome};
  }
  return next;
}
int64_t LastEnd(const std::vector<TRunTimes> &papers) {
  int64_t last = 0;
  for (const TRunTimes &t : papers)
    if (t.HasEnd) last = std::max(last, t.HasExtended ? t.ExtendedEndMs : t.NormalEndMs);
  return last;
}
}  // namespace

std::vector<std::string> BoardPanelTexts(const std::vector<std::string> &names,
                                         const std::vector<TRunTimes> &papers, int64_t nowLocalMs) {
  const std::string count = std::to_string(papers.size()) + " épreuves";
  const TNextEnd next = NextEnd(papers, nowLocalMs);
  if (next.Paper >= names.size()) return {count};
  const std::string when = (next.Extended ? " : tiers-temps à " : " : fin à ") + MinuteTextAt(next.At);
  const std::string &name = names[next.Paper];
  std::vector<std::string> texts{name + when + " · " + count};
  for (size_t keep : {16, 10, 6})
    if (name.size() > keep + 1) texts.push_back(name.substr(0, keep) + "…" + when + " · " + count);
  texts.push_back(texts.back().substr(0, texts.back().size() - count.size() - 3));
  texts.push_back(count);
  return texts;
}

std::vector<std::string> BoardAddedLines(const std::vector<std::string> &names,
                                         const std::vector<TRunTimes> &before,
                                         const std::vector<TRunTimes> &after, int64_t nowLocalMs) {
  std::vector<std::string> lines;
  auto moved = [](int64_t from, int64_t to) {
    return std::string(to > from ? "reportée" : "avancée") + " de " + MinuteTextAt(from) + " à " +
           MinuteTextAt(to);
  };
  const TNextEnd next = NextEnd(before, nowLocalMs);
  if (next.Paper >= names.size() || next.Paper >= after.size()) return lines;
  const TRunTimes &then = after[next.Paper];
  const int64_t to = next.Extended ? then.ExtendedEndMs : then.NormalEndMs;
  const int64_t lastFrom = LastEnd(before), lastTo = LastEnd(after);
  // The dialog's line holds a usual subject's name; a longer one is cut.
  std::string name = names[next.Paper];
  if (name.size() > 16) name = name.substr(0, 15) + "…";
  if (to != next.At)
    lines.push_back(name + (next.Extended ? " : tiers-temps " : " : fin ") + moved(next.At, to));
  if (lastTo != lastFrom && !(next.At == lastFrom && to == lastTo))
    lines.push_back("Dernière fin " + moved(lastFrom, lastTo));
  return lines;
}
