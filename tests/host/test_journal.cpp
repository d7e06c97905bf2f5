// The exam's record: the journal's lines as a French spreadsheet reads them, the lines that wait
// for a file that cannot be written, and the procès-verbal page.
#include <gtest/gtest.h>

#include <string>

#include "base/uText.h"
#include "timing/uJournal.h"

namespace {

// The sources' narrow texts are compiled to Windows-1252: what the files hold is written u8.
std::string U8(const char8_t *text) { return reinterpret_cast<const char *>(text); }
const TJournalTime RunStart{2026, 12, 7, 9, 0, 12};

TEST(Journal, EachFieldIsQuotedGuardedAndConvertedToUtf8) {
  const std::pair<std::string, std::string> cases[] = {  // a detail, and the line's last field
      {"x=1;", "\"x=1;\""}, {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+12 min", "'+12 min"}, {"-5 min", "'-5 min"}, {"@SOMME(A1)", "'@SOMME(A1)"},
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

// Tried again a minute after a failure or at the next event, whichever is later; the user hears
// of the first failure, and again only once lines were written in between.
TEST(Journal, LinesWaitForAMinuteAndAnEventAfterAFailure) {
  enum Op { Push, Retry, Fail, Write };
  const struct {
    Op op;
    int at;         // seconds
    bool expected;  // Push: try now; Retry: due; Fail: tell the user
  } steps[] = {{Push, 0, true},    {Fail, 0, true},    {Retry, 61, false}, {Push, 70, true},
               {Fail, 70, false},  {Push, 80, false},  {Retry, 129, false}, {Retry, 130, true},
               {Write, 130, false}, {Retry, 300, false}, {Push, 301, true},  {Fail, 301, true}};
  TJournalQueue queue;
  int pushed = 0;  // the lines are "l1", "l2"...
  for (const auto &s : steps) {
    SCOPED_TRACE(s.at);
    switch (s.op) {
      case Push: EXPECT_EQ(queue.Push("l" + std::to_string(++pushed), s.at * 1000), s.expected); break;
      case Retry: EXPECT_EQ(queue.RetryDue(s.at * 1000), s.expected); break;
      case Fail: EXPECT_EQ(queue.Failed(s.at * 1000), s.expected); break;
      case Write:
        EXPECT_EQ(queue.Waiting(), "l1l2l3");  // every line, oldest first
        queue.Written();
    }
  }
  EXPECT_EQ(queue.Waiting(), "l4");
}

// The page is read for what each part of it must say, and for what it must never hold.
TEST(Journal, TheProcesVerbalTellsTheRunFromItsEvents) {
  auto at = [](int h, int m, int s) { return TJournalTime{2026, 12, 7, h, m, s}; };
  const std::string page = ProcesVerbalHtml(
      RunStart, {{at(9, 0, 12), journal::Start, "Compte à rebours de 2:00:00, fin 11 h 00"},
                 {at(9, 30, 0), journal::Pause, ""}, {at(9, 42, 10), journal::Resume, "12 min 10 s"},
                 {at(9, 43, 0), journal::TimeAdded, "<script>alert('x')</script> & \"B\""},
                 {at(10, 0, 0), journal::Woke, "3 min"}, {at(11, 12, 0), journal::NormalEnd, ""},
                 {at(11, 52, 0), journal::Pause, ""}, {at(11, 52, 30), journal::Stopped, "1:52:18"}});
  const std::pair<std::string, std::string> shown[] = {  // heading ("": the top), text
      {"", U8(u8"lundi 7 décembre 2026")},
      {"", U8(u8"<th class=\"label\">Établissement</th><td class=\"blank\"></td>")},
      {"", "<th class=\"label\">Copies remises</th><td class=\"blank\"></td>"},
      {"Horaires", U8(u8"<th class=\"label\">Début</th><td class=\"blank\"></td><td>09:00:12</td>")},
      {"Horaires", U8(u8"<td rowspan=\"2\">Compte à rebours de 2:00:00, fin 11 h 00</td><td>11:12:00")},
      {"Horaires", U8(u8"Arrêt avant la fin</th><td>11:52:30 (1:52:18)</td>")},
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
      RunStart, {{at(9, 0, 0), journal::Start, "Fin 10 h 00", "Oral"},
                 {at(9, 0, 0), journal::Start, "Fin 11 h 00", "<b>"},
                 {at(9, 50, 0), journal::Warning, "10 min", "Oral"},
                 {at(10, 0, 0), journal::End, "", "Oral"}, {at(11, 0, 0), journal::End, ""}});
  for (const char *text : {"<h2>Horaires : Oral</h2>", "<td>Fin 10 h 00</td><td>10:00:00</td>",
                           "<h2>Horaires : &lt;b&gt;</h2>", "<td>Fin 11 h 00</td><td>11:00:00</td>",
                           "<td>Avertissement (Oral)</td>"})
    EXPECT_NE(two.find(text), std::string::npos) << text;
  EXPECT_EQ(two.find("<b>"), std::string::npos);
}

}  // namespace
