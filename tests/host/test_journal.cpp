// The exam's record: the journal's lines as a French spreadsheet reads them, the lines that wait
// for a file that cannot be written, and the procès-verbal page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/uText.h"
#include "timing/uJournal.h"

namespace {

// The sources' narrow texts are compiled to Windows-1252: what the files hold is written u8.
std::string U8(const char8_t *text) { return reinterpret_cast<const char *>(text); }

const TJournalTime RunStart{2026, 12, 7, 9, 0, 12};

TEST(Journal, EachFieldIsQuotedGuardedAndConvertedToUtf8) {
  // The detail, as the caller gives it in Windows-1252, and as the file's line ends with it.
  const struct {
    std::string detail;
    std::string field;
  } cases[] = {
      {"", ""},
      {"Alarme incendie", "Alarme incendie"},
      {"x=1+1", "x=1+1"},
      {"=HYPERLINK(\"x\")", U8(u8"\"'=HYPERLINK(\"\"x\"\")\"")},
      {"+12 min", "'+12 min"},
      {"-5 min", "'-5 min"},
      {"@SOMME(A1)", "'@SOMME(A1)"},
      {"10 h 45; 11 h 25", "\"10 h 45; 11 h 25\""},
      {"-5 min;Autre", "\"'-5 min;Autre\""},
      {"dit \"stop\"", "\"dit \"\"stop\"\"\""},
      {"deux\r\nlignes", "\"deux\r\nlignes\""},
      {"une\nligne", "\"une\nligne\""},
      {"Coupure de courant, fin reportée à 11 h 12", U8(u8"Coupure de courant, fin reportée à 11 h 12")},
      {"\xA0\xC9\xFF", U8(u8"\u00A0\u00C9\u00FF")},
      // Every byte of 0x80 to 0x9F, the five that Windows-1252 leaves free included.
      {std::string("\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
                   "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F"),
       U8(u8"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152"
          u8"\u008D\u017D\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
          u8"\u0161\u203A\u0153\u009D\u017E\u0178")},
  };
  const std::string before = U8(u8"2026-12-07;10:12:03;2026-12-07 09:00:12;;Temps ajouté;");
  for (const auto &c : cases) {
    TJournalEvent e{{2026, 12, 7, 10, 12, 3}, "Temps ajouté", c.detail};
    EXPECT_EQ(JournalLine(RunStart, "", e), before + c.field + "\r\n") << c.detail;
  }
  // A new file opens with the byte-order mark and the header, each line ended by CR LF.
  EXPECT_EQ(JournalFileHeader(),
            U8(u8"\uFEFFDate;Heure;Chronométrage;Épreuve;Événement;Détail\r\n"));
  EXPECT_EQ(Cp1252ToUtf8("Arr\xEAt"), U8(u8"Arrêt"));
}

TEST(Journal, TheLatestRunAloneIsKeptAndEachLineTiesToItsStart) {
  TJournal journal;
  EXPECT_FALSE(journal.HasRun());
  journal.StartRun({2026, 12, 7, 8, 0, 0});
  journal.Add({2026, 12, 7, 8, 0, 0}, journal::Start, "Fin à 9 h 00");
  journal.StartRun(RunStart);
  EXPECT_EQ(journal.Add({2026, 12, 7, 9, 30, 0}, journal::Pause, ""),
            "2026-12-07;09:30:00;2026-12-07 09:00:12;;Pause;\r\n");
  ASSERT_EQ(journal.Events().size(), 1u);
  EXPECT_EQ(journal.RunStart(), RunStart);
  // An event without a run (a program that missed the start) starts one at its own time.
  TJournal late;
  late.Add({2026, 12, 8, 7, 5, 9}, journal::Resume, "");
  EXPECT_TRUE(late.HasRun());
  EXPECT_EQ(JournalStamp(late.RunStart()), "2026-12-08 07:05:09");
}

// A write that fails is tried again a minute later or at the next event, whichever is later; the
// user hears of the first failure, and again only once lines were written in between.
TEST(Journal, LinesWaitForAMinuteAndAnEventAfterAFailure) {
  enum Op { Push, Retry, Fail, Write };
  const struct {
    Op op;
    int64_t at;     // seconds
    bool expected;  // Push: try now; Retry: due; Fail: tell the user
  } steps[] = {
      {Push, 0, true},   {Fail, 0, true},     {Retry, 30, false},  {Retry, 61, false},
      {Push, 70, true},  {Fail, 70, false},   {Push, 80, false},   {Retry, 129, false},
      {Retry, 130, true}, {Fail, 130, false}, {Push, 131, false},  {Retry, 189, false},
      {Retry, 190, true}, {Write, 190, false}, {Retry, 300, false}, {Push, 301, true},
      {Fail, 301, true},
  };
  TJournalQueue queue;
  int pushed = 0;
  std::string expectedWaiting;
  for (const auto &s : steps) {
    const int64_t ms = s.at * 1000;
    SCOPED_TRACE(testing::Message() << "step at " << s.at << " s");
    switch (s.op) {
      case Push: {
        const std::string line = "line " + std::to_string(++pushed) + "\r\n";
        expectedWaiting += line;
        EXPECT_EQ(queue.Push(line, ms), s.expected);
        break;
      }
      case Retry: EXPECT_EQ(queue.RetryDue(ms), s.expected); break;
      case Fail: EXPECT_EQ(queue.Failed(ms), s.expected); break;
      case Write:
        // Every line waited, oldest first, until the write that took them.
        EXPECT_EQ(queue.Waiting(), expectedWaiting);
        queue.Written();
        expectedWaiting.clear();
        break;
    }
  }
  EXPECT_EQ(queue.Waiting(), "line 5\r\n");
}

// The page is read for what it must say, where it must say it, and what it must never hold.
TEST(Journal, TheProcesVerbalTellsTheRunFromItsEvents) {
  auto at = [](int h, int m, int s) { return TJournalTime{2026, 12, 7, h, m, s}; };
  const TJournalEvent start{at(9, 0, 12), journal::Start,
                            "Compte à rebours de 2:00:00, fin 11 h 00, tiers-temps 11 h 40"};
  const std::string hostile = "<script>alert('x')</script> & \"Salle B\"";
  const struct {
    const char *name;
    std::vector<TJournalEvent> events;
    // Each text in the part of the page under that heading ("" for the head of the page).
    std::vector<std::pair<std::string, std::string>> shown;
  } cases[] = {
      {"only begun",
       {start},
       {{"", U8(u8"lundi 7 décembre 2026")},
        {"", U8(u8"<th class=\"label\">Établissement</th><td class=\"blank\"></td>")},
        {"", U8(u8"<th class=\"label\">Candidats inscrits / présents</th>")},
        {"", U8(u8"<th class=\"label\">Copies remises</th>")},
        {"Horaires", U8(u8"<th class=\"label\">Début</th><td class=\"blank\"></td><td>09:00:12</td>")},
        {"Horaires", U8(u8"<td>Compte à rebours de 2:00:00, fin 11 h 00, tiers-temps 11 h 40</td>"
                        u8"<td>en cours</td>")},
        {"Interruptions", "Aucune."},
        {U8(u8"Temps ajouté"), "Aucun."},
        {"Signatures", "Chef de centre"}}},
      {"paused, given time back, ended with tiers-temps",
       {start,
        {at(9, 30, 0), journal::Pause, ""},
        {at(9, 42, 10), journal::Resume, "12 min 10 s"},
        {at(9, 43, 0), journal::TimeAdded, "+12 min, Alarme incendie, fin 11 h 12"},
        {at(10, 42, 0), journal::Warning, "30 min"},
        {at(11, 12, 0), journal::NormalEnd, ""},
        {at(11, 52, 0), journal::Pause, ""},
        {at(11, 52, 30), journal::End, ""}},
       {{"Horaires", "<th class=\"label\">Fin du temps normal</th><td rowspan=\"2\">"},
        {"Horaires", "<td>11:12:00</td>"},
        {"Horaires", "<th class=\"label\">Fin</th><td>11:52:30</td>"},
        {"Interruptions", "<td>09:30:00</td><td>09:42:10</td><td>12 min 10 s</td>"},
        // Ended during a pause: the pause stands without its resume.
        {"Interruptions", "<td>11:52:00</td><td></td><td></td>"},
        {U8(u8"Temps ajouté"), "<td>09:43:00</td><td>+12 min, Alarme incendie, fin 11 h 12</td>"},
        {U8(u8"Autres événements"), "<td>10:42:00</td><td>Avertissement</td><td>30 min</td>"}}},
      {"stopped early, names and reasons escaped",
       {start,
        {at(9, 10, 0), journal::TimeAdded, hostile},
        {at(9, 20, 0), journal::ClockChanged, "+1 h, fin 12 h 00"},
        {at(9, 25, 0), journal::Stopped, "1:35:12"}},
       {{"Horaires", U8(u8"<th class=\"label\">Arrêt avant la fin</th>")},
        {"Horaires", "<td>09:25:00 (1:35:12)</td>"},
        {U8(u8"Temps ajouté"),
         "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;Salle B&quot;"},
        {U8(u8"Autres événements"),
         U8(u8"<td>Heure de l&#39;ordinateur changée</td><td>+1 h, fin 12 h 00</td>")}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string page = ProcesVerbalHtml(RunStart, c.events);
    auto part = [&](const std::string &heading) {
      if (heading.empty()) return page.substr(0, page.find("<h2>"));
      const size_t from = page.find("<h2>" + heading + "</h2>");
      if (from == std::string::npos) return std::string();
      return page.substr(from, page.find("<h2>", from + 4) - from);
    };
    for (const auto &[heading, text] : c.shown)
      EXPECT_NE(part(heading).find(text), std::string::npos) << heading << ": " << text;
    // Standing alone, printable, and nothing from outside that could run or be fetched.
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("@page{size:A4"), std::string::npos);
    for (const char *never : {"<script", "src=", "href=", "url(", "@import"})
      EXPECT_EQ(page.find(never), std::string::npos) << never;
    EXPECT_EQ(Utf8ToCp1252(page).find('?'), std::string::npos) << "valid UTF-8 throughout";
  }
  EXPECT_EQ(ProcesVerbalFileName(RunStart), "Procès-verbal 2026-12-07 09 h 00.html");
}

}  // namespace
