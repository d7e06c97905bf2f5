// The exam's record: the journal's lines as a French spreadsheet reads them, the lines that wait
// for a file that cannot be written, and the procès-verbal page.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/uText.h"
#include "run/uJournal.h"
#include "run/uRunTexts.h"

namespace {

// The sources' narrow texts are compiled to Windows-1252: what the files hold is written u8.
std::string U8(const char8_t *text) { return reinterpret_cast<const char *>(text); }
const TJournalTime RunStart{2026, 12, 7, 9, 0, 12};

TEST(Journal, EachFieldIsQuotedGuardedAndConvertedToUtf8) {
  const std::pair<std::string, std::string> cases[] = {  // a detail, and the line's last field
      {"x=1;", "\"x=1;\""}, {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+12 min", "'+12 min"}, {"-5 min", "'-5 min"}, {"@SOMME(A1)", "'@SOMME(A1)"},
      {"\tx", "'\tx"}, {"\rx", "\"'\rx\""}, {"''=x", "'''=x"}, {"'x", "'x"}, {"x=1", "x=1"},
      {"deux\r\nlignes", "\"deux\r\nlignes\""}, {"une\nligne", "\"une\nligne\""},
      {"reportée\xA0\xFF", U8(u8"reportée\u00A0\u00FF")},
      // Every byte of 0x80 to 0x9F, the five that Windows-1252 leaves free included.
      {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
       "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
       U8(u8"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152"
          u8"\u008D\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
          u8"\u0161\u203A\u0153\u009D\u017E\u0178")},
  };
  for (const auto &[detail, field] : cases)
    EXPECT_EQ(JournalLine(RunStart, "", {{2026, 12, 7, 10, 12, 3}, "Temps ajouté", detail}),
              U8(u8"2026-12-07;10:12:03;2026-12-07 09:00:12;;Temps ajouté;") + field + "\r\n");
  EXPECT_EQ(JournalFileHeader(),
            U8(u8"\uFEFFDate;Heure;Chronométrage;Épreuve;Événement;Détail\r\n"));
}

// Tried again a minute after a failure, whether events come or not; the user hears of the first
// failure, and again only once every line was written in between.
TEST(Journal, LinesWaitForAMinuteAfterAFailure) {
  enum Op { Push, Retry, Fail, Write };
  const struct {
    Op op;
    int at;         // seconds
    bool expected;  // Push: try now; Retry: due; Fail: tell the user
  } steps[] = {{Push, 0, true},    {Fail, 0, true},     {Retry, 59, false}, {Push, 30, false},
               {Retry, 60, true},  {Fail, 60, false},   {Push, 119, false}, {Retry, 120, true},
               {Write, 120, false}, {Retry, 300, false}, {Push, 301, true},  {Fail, 301, true}};
  TJournalQueue queue;
  uint32_t pushed = 0;  // the lines are "l1", "l2"...
  for (const auto &s : steps) {
    SCOPED_TRACE(s.at);
    switch (s.op) {
      case Push:
        ++pushed;
        EXPECT_EQ(queue.Push({"", pushed, 0, "l" + std::to_string(pushed)}, s.at * 1000), s.expected);
        break;
      case Retry: EXPECT_EQ(queue.RetryDue(s.at * 1000), s.expected); break;
      case Fail: EXPECT_EQ(queue.Failed(s.at * 1000), s.expected); break;
      case Write:
        EXPECT_EQ(queue.Lines(), 3u);
        queue.Written();
    }
  }
  ASSERT_EQ(queue.Lines(), 1u);
  EXPECT_EQ(queue.Entries()[0].Line, "l4");
}

// Two Tavelins, each with its run, append to one file through one waiting file, under the lock
// that they share: writes cut short anywhere, failures, retries of a line, the waiting file read
// back or left by a process that ended, lines alike at one second. The file ends up with the
// header once and each run's lines once each, in their order, whatever failed.
RC_GTEST_PROP(Journal, EveryLineReachesTheFileOnceWhateverFailed, ()) {
  struct TOp {
    int who, kind;  // kind: 0 an event, 1 its line again, 2 a write, 3 the process ends
    size_t cut;     // a write: the bytes that reach the file; past the end, all
  };
  const auto ops = *rc::gen::container<std::vector<TOp>>(rc::gen::construct<TOp>(
      rc::gen::inRange(0, 2), rc::gen::inRange(0, 4), rc::gen::inRange<size_t>(0, 400)));
  const TJournalTime starts[2] = {{2026, 12, 7, 9, 0, 0}, {2026, 12, 7, 9, 0, 1}};
  TJournal runs[2];
  TJournalQueue queues[2];
  std::string file, kept;
  for (int i = 0; i < 2; ++i) runs[i].StartRun(starts[i]);
  // A try of the file, under the lock: what is kept joins, then the waiting file holds what waits.
  auto write = [&](int who, size_t cut) {
    TJournalQueue &q = queues[who];
    if (const auto k = ReadWaiting(kept)) q.Merge(*k);
    const std::string append = JournalAppend(file, q.Entries());
    file += append.substr(0, cut);
    if (cut >= append.size()) q.Written();
    kept = PackWaiting(q.Entries());
  };
  for (const TOp &op : ops) {
    TJournal &run = runs[op.who];
    switch (op.kind) {
      case 0:
      case 1:
        if (op.kind == 0 || run.Events().empty())  // alike: the same event at the same second
          run.Add({2026, 12, 7, 10, 0, int(run.Events().size() % 3)}, "Pause", "à 0:01:00");
        queues[op.who].Push(JournalEntryOf(run), 0);
        write(op.who, 0);  // the file refused: kept
        break;
      case 2: write(op.who, op.cut); break;
      case 3: queues[op.who] = TJournalQueue(); break;  // what it held is kept
    }
  }
  for (int who = 0; who < 2; ++who) write(who, SIZE_MAX);
  RC_ASSERT(ReadWaiting(kept)->empty());
  if (file.empty()) return;
  // Read back as a reader would: the header, then each run's lines in their order.
  RC_ASSERT(file.rfind(JournalFileHeader(), 0) == 0);
  std::string rest = file.substr(JournalFileHeader().size()), expected[2], got[2];
  for (int i = 0; i < 2; ++i)
    for (const TJournalEvent &e : runs[i].Events()) expected[i] += JournalLine(starts[i], "", e);
  for (size_t at = 0; at < rest.size();) {
    const size_t end = rest.find("\r\n", at) + 2;
    const std::string line = rest.substr(at, end - at);
    at = end;
    got[line.find(JournalStamp(starts[0])) != std::string::npos ? 0 : 1] += line;
  }
  RC_ASSERT(got[0] == expected[0]);
  RC_ASSERT(got[1] == expected[1]);
}

// Its own texts of a clock set and of time added say which way in words: a sign first would
// make a formula.
TEST(Journal, ItsOwnTextsBeginWithAWord) {
  EXPECT_EQ(ClockStepText(3'600'000), "avancée de 1 h 00 min 00 s");
  EXPECT_EQ(ClockStepText(-3'599'600), "retardée de 1 h 00 min 00 s");
  EXPECT_EQ(ClockStepText(-3'599'400), "retardée de 59 min 59 s");
  EXPECT_EQ(TimeAddedDetail(720, "Alarme") + ", " + TimeAddedDetail(-300, "") + ", " +
                TimeAddedDetail(-19, ""),
            "12 min de plus, Alarme, 5 min de moins, 19 s de moins");
}

// The page is read for what each part of it must say, and for what it must never hold.
TEST(Journal, TheProcesVerbalTellsTheRunFromItsEvents) {
  auto at = [](int h, int m, int s) { return TJournalTime{2026, 12, 7, h, m, s}; };
  const std::string page = ProcesVerbalHtml(
      RunStart, {{at(9, 0, 12), journal::Start,
                  "Compte à rebours de 2:00:00, fin 11 h 00, tiers-temps 11 h 40, sortie à partir "
                  "de 10 h 00"},
                 {at(10, 0, 40), journal::Exit, ""},
                 {at(9, 30, 0), journal::Pause, ""}, {at(9, 42, 10), journal::Resume, "12 min 10 s"},
                 {at(9, 43, 0), journal::TimeAdded, "<script>alert('x')</script> & \"B\""},
                 {at(10, 0, 0), journal::Woke, "3 min"}, {at(11, 12, 0), journal::NormalEnd, ""},
                 {at(11, 52, 0), journal::Pause, ""}, {at(11, 52, 30), journal::Stopped, "1:52:18"}});
  const std::pair<std::string, std::string> shown[] = {  // heading ("": the top), text
      {"", U8(u8"lundi 7 décembre 2026")},
      {"", U8(u8"<th class=\"label\">Établissement</th><td class=\"blank\"></td>")},
      {"", "<th class=\"label\">Copies remises</th><td class=\"blank\"></td>"},
      {"Horaires", U8(u8"<th class=\"label\">Début</th><td>09:00:12</td><td>09:00:12</td>")},
      {"Horaires", "Fin du temps normal</th><td>11:00</td><td>11:12:00</td>"},
      {"Horaires", U8(u8"Arrêt avant la fin</th><td>11:40</td><td>11:52:30 (1:52:18)</td>")},
      {"Horaires", U8(u8"Sortie autorisée</th><td>10:00</td><td>10:00:40</td>")},
      {"Horaires", U8(u8"Réglage</th><td colspan=\"2\">Compte à rebours de 2:00:00, fin 11 h 00, "
                      u8"tiers-temps 11 h 40, sortie à partir de 10 h 00</td>")},
      {"Interruptions", "<td>09:30:00</td><td>09:42:10</td><td>12 min 10 s</td>"},
      {"Interruptions", "<td>11:52:00</td><td></td><td></td>"},  // ended while paused
      {U8(u8"Temps ajouté"),
       "<td>09:43:00</td><td>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;B&quot;</td>"},
      {U8(u8"Autres événements"), U8(u8"<td>Reprise après sortie de veille</td><td>3 min</td>")},
      {"Signatures", "Chef de centre"}};
  for (const auto &[heading, text] : shown) {
    const size_t from = heading.empty() ? 0 : page.find("<h2>" + heading + "</h2>");
    EXPECT_NE(page.substr(from, page.find("<h2>", from + 1) - from).find(text), std::string::npos)
        << text;
  }
  for (const char *must : {"<meta charset=\"utf-8\">", "@page{size:A4"})
    EXPECT_NE(page.find(must), std::string::npos) << must;
  for (const char *never : {"<script", "src=", "href=", "url(", "@import"})
    EXPECT_EQ(page.find(never), std::string::npos) << never;

  // Two épreuves: a block each, its plan and its end, or the run's when it ended with the run.
  const std::string two = ProcesVerbalHtml(
      RunStart, {{at(9, 0, 0), journal::Start, "Fin à 7 h 05", "Oral"},
                 {at(9, 0, 0), journal::Start, "Chronométrage de 2:00:00, fin 11 h 00", "<b>"},
                 {at(9, 50, 0), journal::Warning, "10 min", "Oral"},
                 {at(10, 0, 0), journal::End, "", "Oral"}, {at(11, 0, 0), journal::End, ""}});
  for (const char *text : {"<h2>Horaires : Oral</h2>", "Fin</th><td>07:05</td><td>10:00:00</td>",
                           "<h2>Horaires : &lt;b&gt;</h2>", "Fin</th><td>11:00</td><td>11:00:00</td>",
                           "<td>Avertissement (Oral)</td>"})
    EXPECT_NE(two.find(text), std::string::npos) << text;
  EXPECT_EQ(two.find("<b>"), std::string::npos);

  // A plan's heading fills the blanks and gives the planned start, whatever its name holds; one
  // that names nothing leaves them to the room.
  for (const TRunHeading &heading :
       {TRunHeading{"Bac ; blanc <1>", "Lycée : Champollion", "B12", 7 * 60 + 55},
        TRunHeading{"", "", "Salle : B12"}, TRunHeading{"Oral", "", "", 0}, TRunHeading{}}) {
    const std::string text = RunHeadingText(heading);
    EXPECT_EQ(ReadRunHeading(text), heading) << text;
    const std::string page = ProcesVerbalHtml(
        RunStart, {{at(8, 0, 0), journal::Start, "Chronométrage de 2:00:00"},
                   {at(8, 0, 0), journal::Plan, text}});
    auto cell = [](const char *label, const std::string &value) {
      return Cp1252ToUtf8(std::string("<th class=\"label\">") + label + "</th><td" +
                (value.empty() ? " class=\"blank\">" : ">" + HtmlEscape(value)) + "</td>");
    };
    for (const std::string &row : {cell("Établissement", heading.Establishment),
                                   cell("Salle", heading.Room), cell("Épreuve", heading.Name)})
      EXPECT_NE(page.find(row), std::string::npos) << row;
    const std::string planned = heading.StartMinute < 0 ? "08:00:00"
                                : heading.StartMinute == 0 ? "00:00:00" : "07:55:00";
    EXPECT_NE(page.find(Cp1252ToUtf8("Début</th><td>" + planned + "</td><td>08:00:00</td>")),
              std::string::npos) << text;
  }
  EXPECT_EQ(ProcesVerbalFileName(RunStart), "Procès-verbal 2026-12-07 09 h 00.html");
  EXPECT_EQ(ProcesVerbalFileName(RunStart, 2), "Procès-verbal 2026-12-07 09 h 00 (2).html");
}

// Every day of every month, in leap years and in years that are not (1900, 2100), is named with
// its week day.
TEST(Journal, TheProcesVerbalDatesEveryDayWithItsWeekDay) {
  using namespace std::chrono;
  const char *const weekDays[] = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"};
  const char8_t *const months[] = {u8"janvier", u8"février", u8"mars", u8"avril", u8"mai", u8"juin",
      u8"juillet", u8"août", u8"septembre", u8"octobre", u8"novembre", u8"décembre"};
  for (int y : {1900, 2000, 2023, 2024, 2100})
    for (sys_days d = year{y} / 1 / 1; d < sys_days(year{y + 1} / 1 / 1); d += days{1}) {
      const year_month_day ymd{d};
      const TJournalTime t{y, int(unsigned(ymd.month())), int(unsigned(ymd.day()))};
      const std::string date = std::string(weekDays[weekday(d).c_encoding()]) + " " +
          std::to_string(t.Day) + " " + U8(months[t.Month - 1]) + " " + std::to_string(y);
      ASSERT_NE(ProcesVerbalHtml(t, {}).find(">" + date + "<"), std::string::npos) << date;
    }
}

}  // namespace
