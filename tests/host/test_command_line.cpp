// The switches of a shortcut, read into what they ask of the session.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/uCommandLine.h"

namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, EverySwitchReadsInAnyCaseAfterEitherMark) {
  const struct {
    Words words;
    TCommandLine expected;
  } cases[] = {
      {{}, {}},
      {{"/duree:1:30:05"}, {.TotalSeconds = 5405}},
      {{"-DUREE:45"}, {.TotalSeconds = 2700}},
      {{"/duree:24:59:59"}, {.TotalSeconds = 89999}},
      {{"/Fin:10h45"}, {.EndMinute = 645}},
      {{"/fin:8H"}, {.EndMinute = 480}},
      {{"/fin:23:59"}, {.EndMinute = 1439}},
      {{"/positif"}, {.TypeInc = 0}},
      {{"/bip"}, {.BeepActive = true}},
      {{"/sansbip"}, {.BeepActive = false}},
      {{"/Taille:5"}, {.UserScreenSize = 4}},
      {{"/taille:05"}, {.UserScreenSize = 4}},
      {{"/plein"}, {.UserScreenSize = 5}},
      {{"/plein:01"}, {.UserScreenSize = 5}},
      {{"/durée:45"}, {.TotalSeconds = 2700}},
      {{"-DURÉE:0", "/positif"}, {.TotalSeconds = 0, .TypeInc = 0}},
      {{"/Négatif", "/DÉPASSEMENT"}, {.TypeInc = 1, .CountOvertime = true}},
      {{"-plein:16"}, {.UserScreenSize = 20}},
      {{"/Tiers-Temps", "/depassement", "/reprendre", "-?", "/Journal"},
       {.ExtraThird = true, .CountOvertime = true, .Resume = true, .Help = true,
        .KeepJournal = true}},
      {{"/duree:90", "-NEGATIF", "/bip:15:00", "/plein:2", "/lancer"},
       {.TotalSeconds = 5400, .TypeInc = 1, .BeepActive = true, .InterBeepSeconds = 900,
        .UserScreenSize = 6, .Launch = true}},
      {{"/Sortie:60", "/HEURE"}, {.ExitMinutes = 60, .ClockDigits = true}},
      {{"/sortie:180"}, {.ExitMinutes = 180}},
      {{"/PLAN:\\\\serveur\\examens\\Bac blanc.tavelin", "/plein", "/lancer"},
       {.UserScreenSize = 5, .Launch = true, .PlanPath = "\\\\serveur\\examens\\Bac blanc.tavelin"}},
      {{"C:\\Examens\\Bac blanc"}, {.PlanPath = "C:\\Examens\\Bac blanc"}},
      {{"Bac.TAVELIN"}, {.PlanPath = "Bac.TAVELIN"}},
  };
  for (const auto &c : cases)
    EXPECT_TRUE(ParseCommandLine(c.words) == c.expected) << testing::PrintToString(c.words);
  // The box lists every switch that is read.
  const std::string help = CommandLineHelp();
  for (const char *name : {"/duree:", "/fin:", "/positif", "/negatif", "/bip:", "/sansbip",
                           "/taille:", "/plein", "/tiers-temps", "/depassement", "/lancer",
                           "/reprendre", "/journal", "/?", "/durée", "/négatif", "/dépassement",
                           "/epreuve:", "/épreuve", "/sortie:", "/heure", "/plan:"})
    EXPECT_NE(help.find(name), std::string::npos) << name;
}

TEST(CommandLine, TheFirstWordItCannotReadIsNamed) {
  const struct {
    Words words;
    const char *message;
  } cases[] = {
      {{"/xyz"}, "Option inconnue: /xyz"},
      {{"duree:5"}, "Option inconnue: duree:5"},
      {{"/lancer", "/dûree:5", "/taille:9"}, "Option inconnue: /dûree:5"},
      {{"/duree:0"}, "Valeur incorrecte: /duree:0"},
      {{"/NÉGATIF", "/duree:0:00:00"}, "Valeur incorrecte: /duree:0:00:00"},
      {{"/taille:0"}, "Valeur incorrecte: /taille:0"},
      {{"/plein:17"}, "Valeur incorrecte: /plein:17"},
      {{"/durée:5", "/duree:6"}, "/duree:6 ne va pas avec /durée:5"},
      {{"/duree"}, "Valeur incorrecte: /duree"},
      {{"/lancer:1"}, "Valeur incorrecte: /lancer:1"},
      {{"/duree:25:00:00"}, "Valeur incorrecte: /duree:25:00:00"},
      {{"/duree:1:30"}, "Valeur incorrecte: /duree:1:30"},
      {{"/duree:1500"}, "Valeur incorrecte: /duree:1500"},
      {{"/fin:24h00"}, "Valeur incorrecte: /fin:24h00"},
      {{"/bip:0:00"}, "Valeur incorrecte: /bip:0:00"},
      {{"/taille:6"}, "Valeur incorrecte: /taille:6"},
      {{"/positif", "/negatif"}, "/negatif ne va pas avec /positif"},
      {{"/fin:10h", "/duree:5"}, "/duree:5 ne va pas avec /fin:10h"},
      {{"/plein", "/taille:2"}, "/taille:2 ne va pas avec /plein"},
      {{"/lancer", "/LANCER"}, "/LANCER ne va pas avec /lancer"},
      {{"/journal:oui"}, "Valeur incorrecte: /journal:oui"},
      {{"/sortie:181"}, "Valeur incorrecte: /sortie:181"},
      {{"/plan:"}, "Valeur incorrecte: /plan:"},
      {{"/epreuve:Latin=1:00:00", "/plan:a.tavelin"}, "/plan:a.tavelin ne va pas avec /epreuve:Latin=1:00:00"},
      {{"/plan:a.tavelin", "/bip", "/fin:10h"}, "/fin:10h ne va pas avec /plan:a.tavelin"},
      {{"Bac.tavelin", "/lancer"}, "Option inconnue: Bac.tavelin"},
      // Whole minutes only.
      {{"/sortie:1h"}, "Valeur incorrecte: /sortie:1h"},
      {{"/sortie:1.5"}, "Valeur incorrecte: /sortie:1.5"},
      {{"/sortie:-5"}, "Valeur incorrecte: /sortie:-5"},
      {{"/sortie: 5"}, "Valeur incorrecte: /sortie: 5"},
  };
  for (const auto &c : cases) {
    try {
      ParseCommandLine(c.words);
      ADD_FAILURE() << "read without error: " << c.message;
    } catch (const ECommandLine &e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

// The one switch given again: once for each épreuve beside the run's, in their order, each named
// once, its length read as /duree reads one, 9:59:59 at most.
TEST(CommandLine, EachEpreuveIsReadInItsOrderAndABadOneIsNamed) {
  using P = TExamPaper;
  const std::string longest(MaxPaperName, 'x'), tooLong = "/epreuve:" + longest + "x=1";
  const struct {
    Words words;
    std::vector<TExamPaper> papers;
    std::string message;  // empty: read
    const char *first = nullptr;  // the first épreuve's stored name, once the settings are read
  } cases[] = {
      {{"/ÉPREUVE:Anglais LV1=120+", "/lancer", "-epreuve:Latin=9:59:59"},
       {P{"Anglais LV1", 7200, true}, P{"Latin", 35999}}, ""},
      {{"/epreuve:a=b=1:30:00+", "/epreuve:B=b=1", "/epreuve:" + longest + "=1"},
       {P{"a=b", 5400, true}, P{"B=b", 60}, P{longest, 60}}, ""},
      {{"/epreuve:=1:00:00"}, {}, "Valeur incorrecte: /epreuve:=1:00:00"},
      {{tooLong}, {}, "Valeur incorrecte: " + tooLong},
      {{"/epreuve:Latin=0:00:00"}, {}, "Valeur incorrecte: /epreuve:Latin=0:00:00"},
      {{"/epreuve:Latin=10:00:00"}, {}, "Valeur incorrecte: /epreuve:Latin=10:00:00"},
      {{"/epreuve:Latin"}, {}, "Valeur incorrecte: /epreuve:Latin"},
      {{"/epreuve:Latin=1++"}, {}, "Valeur incorrecte: /epreuve:Latin=1++"},
      {{"/epreuve:a=1", "/epreuve:b=1", "/epreuve:c=1", "/epreuve:d=1"}, {},
       "Trois épreuves au plus: /epreuve:d=1"},
      {{"/epreuve:a=1", "/epreuve:b=2", "/epreuve:a=3"}, {}, "/epreuve:a=3 ne va pas avec /epreuve:a=1"},
      {{"/lancer", "/epreuve:a=1", "/epreuve:b=1", "/epreuve:B=2"}, {}, "/epreuve:B=2 ne va pas avec /epreuve:b=1"},
      // A name is refused in any place for a control character, one that Windows-1252 lacks (SUB
      // by then) or a byte it leaves free, and for one before it but for case, accents or spaces.
      {{"/epreuve:O\tral=1"}, {}, "Caractère non permis dans le nom: /epreuve:O\tral=1"},
      {{"/epreuve:a=1", "/epreuve:\x1A=1"}, {}, "Caractère non permis dans le nom: /epreuve:\x1A=1"},
      {{"/epreuve:a=1", "/epreuve:b=1", "/epreuve:c\x81=1"}, {},
       "Caractère non permis dans le nom: /epreuve:c\x81=1"},
      {{"/epreuve:Épreuve  A=1", "/epreuve:b=1", "/epreuve:EPREUVE a =1"}, {},
       "/epreuve:EPREUVE a =1 ne va pas avec /epreuve:Épreuve  A=1"},
      {{"/epreuve:a=1", "/epreuve:Œuvre=1", "/epreuve:oeuvre=1"}, {},
       "/epreuve:oeuvre=1 ne va pas avec /epreuve:Œuvre=1"},
      {{"/epreuve:anglais=1", "/epreuve:ANGLAIS=1"}, {},
       "/epreuve:ANGLAIS=1 ne va pas avec /epreuve:anglais=1"},
      {{"/epreuve:b=1", "/epreuve:c=1", "/epreuve:anglais=1"}, {},
       "La première épreuve porte déjà ce nom: /epreuve:anglais=1", "Anglais"},
      {{"/epreuve:b=1", "/epreuve:épreuve 1=1"}, {},
       "La première épreuve porte déjà ce nom: /epreuve:épreuve 1=1", ""},
      {{"/epreuve:Anglais=1", "/epreuve:épreuve 1=1"}, {P{"Anglais", 60}, P{"épreuve 1", 60}}, "",
       "Latin"},
  };
  for (const auto &c : cases) {
    try {
      const auto first = c.first ? std::optional<std::string>(c.first) : std::nullopt;
      EXPECT_TRUE(ParseCommandLine(c.words, first).Papers == c.papers)
          << testing::PrintToString(c.words);
      EXPECT_EQ(c.message, "");
    } catch (const ECommandLine &e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

}  // namespace
