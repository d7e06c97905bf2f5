// The switches of a shortcut, read into what they ask of the session.
#include <gtest/gtest.h>

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
      {{"/duree:1499"}, {.TotalSeconds = 89940}},
      {{"/Fin:10h45"}, {.EndMinute = 645}},
      {{"/fin:8H"}, {.EndMinute = 480}},
      {{"/fin:23:59"}, {.EndMinute = 1439}},
      {{"/positif"}, {.TypeInc = 0}},
      {{"-NEGATIF"}, {.TypeInc = 1}},
      {{"/bip:2:30"}, {.BeepActive = true, .InterBeepSeconds = 150}},
      {{"/bip"}, {.BeepActive = true}},
      {{"/sansbip"}, {.BeepActive = false}},
      {{"/taille:1"}, {.UserScreenSize = 0}},
      {{"/Taille:5"}, {.UserScreenSize = 4}},
      {{"/plein"}, {.UserScreenSize = 5}},
      {{"/plein:3"}, {.UserScreenSize = 7}},
      {{"-plein:16"}, {.UserScreenSize = 20}},
      {{"/Tiers-Temps"}, {.ExtraThird = true}},
      {{"/depassement"}, {.CountOvertime = true}},
      {{"/lancer"}, {.Launch = true}},
      {{"/reprendre"}, {.Resume = true}},
      {{"-?"}, {.Help = true}},
      {{"/duree:90", "/negatif", "/bip:15:00", "/plein:2", "/lancer"},
       {.TotalSeconds = 5400, .TypeInc = 1, .BeepActive = true, .InterBeepSeconds = 900,
        .UserScreenSize = 6, .Launch = true}},
  };
  for (const auto &c : cases) {
    std::string shown;
    for (const auto &w : c.words) shown += w + " ";
    EXPECT_TRUE(ParseCommandLine(c.words) == c.expected) << shown;
  }
  // The box lists every switch that is read.
  const std::string help = CommandLineHelp();
  for (const char *name : {"/duree:", "/fin:", "/positif", "/negatif", "/bip:", "/sansbip",
                           "/taille:", "/plein", "/tiers-temps", "/depassement", "/lancer",
                           "/reprendre", "/?"})
    EXPECT_NE(help.find(name), std::string::npos) << name;
}

TEST(CommandLine, TheFirstWordItCannotReadIsNamed) {
  const struct {
    Words words;
    const char *message;
  } cases[] = {
      {{"/xyz"}, "Option inconnue: /xyz"},
      {{"duree:5"}, "Option inconnue: duree:5"},
      {{"/"}, "Option inconnue: /"},
      {{"/lancer", "/durée:5", "/taille:9"}, "Option inconnue: /durée:5"},
      {{"/duree"}, "Valeur incorrecte: /duree"},
      {{"/lancer:1"}, "Valeur incorrecte: /lancer:1"},
      {{"/duree:25:00:00"}, "Valeur incorrecte: /duree:25:00:00"},
      {{"/duree:1:60:00"}, "Valeur incorrecte: /duree:1:60:00"},
      {{"/duree:1:30"}, "Valeur incorrecte: /duree:1:30"},
      {{"/duree:1500"}, "Valeur incorrecte: /duree:1500"},
      {{"/duree:1:00:0x"}, "Valeur incorrecte: /duree:1:00:0x"},
      {{"/fin:24h00"}, "Valeur incorrecte: /fin:24h00"},
      {{"/fin:10h60"}, "Valeur incorrecte: /fin:10h60"},
      {{"/fin:1045"}, "Valeur incorrecte: /fin:1045"},
      {{"/fin:10:"}, "Valeur incorrecte: /fin:10:"},
      {{"/bip:0:00"}, "Valeur incorrecte: /bip:0:00"},
      {{"/bip:5"}, "Valeur incorrecte: /bip:5"},
      {{"/bip:1:60"}, "Valeur incorrecte: /bip:1:60"},
      {{"/taille:0"}, "Valeur incorrecte: /taille:0"},
      {{"/taille:6"}, "Valeur incorrecte: /taille:6"},
      {{"/plein:0"}, "Valeur incorrecte: /plein:0"},
      {{"/plein:17"}, "Valeur incorrecte: /plein:17"},
      {{"/positif", "/negatif"}, "/negatif ne va pas avec /positif"},
      {{"/fin:10h", "/duree:5"}, "/duree:5 ne va pas avec /fin:10h"},
      {{"/plein", "/taille:2"}, "/taille:2 ne va pas avec /plein"},
      {{"/sansbip", "/bip"}, "/bip ne va pas avec /sansbip"},
      {{"/lancer", "/LANCER"}, "/LANCER ne va pas avec /lancer"},
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

}  // namespace
