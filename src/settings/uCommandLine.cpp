#include "settings/uCommandLine.h"

#include <algorithm>
#include <string_view>

#include "base/uText.h"
#include "settings/uExamPlanFile.h"

namespace {

// What the main window's boxes can enter: 24 h 59 min 59 s at most, so 1499 whole minutes.
constexpr uint32_t MaxHours = 24, MaxMinutes = 24 * 60 + 59;
constexpr int32_t FixedSizes = 5, MaxMonitors = 16;

using TValue = std::optional<std::string_view>;

// Lower case in Windows-1252, accented capitals and Š Œ Ž Ÿ included, so that /DURÉE is /durée.
char Lower1252(char c) {
  const auto u = static_cast<unsigned char>(c);
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return char(u + 0x20);
  if (u == 0x8A || u == 0x8C || u == 0x8E) return char(u + 0x10);
  if (u == 0x9F) return char(0xFF);
  return c;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t at; (at = text.find(separator)) != std::string_view::npos;
       text.remove_prefix(at + 1))
    parts.push_back(text.substr(0, at));
  parts.push_back(text);
  return parts;
}

// MM:SS, minutes first; the seconds alone are kept under a minute.
std::optional<uint32_t> MinutesSeconds(std::string_view minutes, std::string_view seconds) {
  auto m = Number(minutes, 4), s = Number(seconds, 2);
  if (!m || !s || *m > MaxMinutes || *s > 59) return {};
  return *m * 60 + *s;
}

// H:MM:SS, or a number of minutes alone.
std::optional<uint32_t> Duration(std::string_view text) {
  auto parts = Split(text, ':');
  if (parts.size() == 1) return MinutesSeconds(parts[0], "0");
  if (parts.size() != 3) return {};
  auto h = Number(parts[0], 2), m = Number(parts[1], 2), s = Number(parts[2], 2);
  if (!h || !m || !s || *h > MaxHours || *m > 59 || *s > 59) return {};
  return (*h * 60 + *m) * 60 + *s;
}

// 10h45, 10h or 10:45, as a minute of the day.
std::optional<int> TimeOfDay(std::string_view text) {
  size_t mark = text.find_first_of("hH:");
  if (mark == std::string_view::npos) return {};
  auto h = Number(text.substr(0, mark), 2);
  std::string_view after = text.substr(mark + 1);
  auto m = after.empty() && text[mark] != ':' ? std::optional<uint32_t>(0) : Number(after, 2);
  if (!h || !m || *h > 23 || *m > 59) return {};
  return int(*h * 60 + *m);
}

// "Anglais LV1=1:30:00", the length read as /duree reads it, "+" after it for tiers-temps. The
// quotes that keep a name's spaces in one word are gone: Windows takes them away.
std::optional<TExamPaper> Paper(std::string_view text) {
  const size_t equals = text.rfind('=');
  if (equals == std::string_view::npos) return {};
  TExamPaper paper;
  paper.Name = text.substr(0, equals);
  std::string_view length = text.substr(equals + 1);
  paper.ExtraThird = !length.empty() && length.back() == '+';
  if (paper.ExtraThird) length.remove_suffix(1);
  const auto seconds = Duration(length);
  // The name is checked with those before it, once read.
  if (seconds.value_or(0) == 0 || *seconds > MaxPaperSeconds) return {};
  paper.Seconds = *seconds;
  return paper;
}

constexpr int PaperGroup = 11;

struct TSwitch {
  const char *Name;
  const char *Accented;  // the same switch as French spells it, or null
  enum { NoValue, NeedsValue, MayHaveValue } Value;
  int Group;  // switches of one group exclude each other (and a switch itself)
  bool (*Apply)(TCommandLine &line, TValue value);  // false: a value it cannot read
};

const TSwitch Switches[] = {
    {"duree", "durée", TSwitch::NeedsValue, 1,
     [](TCommandLine &l, TValue v) {
       l.TotalSeconds = Duration(*v);
       return l.TotalSeconds.has_value();
     }},
    {"fin", nullptr, TSwitch::NeedsValue, 1,
     [](TCommandLine &l, TValue v) {
       auto minute = TimeOfDay(*v);
       l.EndMinute = minute.value_or(-1);
       return minute.has_value();
     }},
    {"positif", nullptr, TSwitch::NoValue, 2, [](TCommandLine &l, TValue) {
       l.TypeInc = 0;
       return true;
     }},
    {"negatif", "négatif", TSwitch::NoValue, 2, [](TCommandLine &l, TValue) {
       l.TypeInc = 1;
       return true;
     }},
    {"bip", nullptr, TSwitch::MayHaveValue, 3,
     [](TCommandLine &l, TValue v) {
       l.BeepActive = true;
       if (!v) return true;
       auto parts = Split(*v, ':');
       if (parts.size() == 2) l.InterBeepSeconds = MinutesSeconds(parts[0], parts[1]);
       return l.InterBeepSeconds.value_or(0) > 0;
     }},
    {"sansbip", nullptr, TSwitch::NoValue, 3,
     [](TCommandLine &l, TValue) {
       l.BeepActive = false;
       return true;
     }},
    {"taille", nullptr, TSwitch::NeedsValue, 4,
     [](TCommandLine &l, TValue v) {
       auto k = Number(*v, 2);  // two digits, as /plein reads them: /taille:05 is /taille:5
       if (!k || *k < 1 || *k > uint32_t(FixedSizes)) return false;
       l.UserScreenSize = int32_t(*k) - 1;
       return true;
     }},
    {"plein", nullptr, TSwitch::MayHaveValue, 4,
     [](TCommandLine &l, TValue v) {
       auto n = v ? Number(*v, 2) : std::optional<uint32_t>(1);
       if (!n || *n < 1 || *n > uint32_t(MaxMonitors)) return false;
       l.UserScreenSize = FixedSizes + int32_t(*n) - 1;
       return true;
     }},
    {"tiers-temps", nullptr, TSwitch::NoValue, 5,
     [](TCommandLine &l, TValue) { return l.ExtraThird = true; }},
    {"depassement", "dépassement", TSwitch::NoValue, 6,
     [](TCommandLine &l, TValue) { return l.CountOvertime = true; }},
    {"lancer", nullptr, TSwitch::NoValue, 7,
     [](TCommandLine &l, TValue) { return l.Launch = true; }},
    {"reprendre", nullptr, TSwitch::NoValue, 8,
     [](TCommandLine &l, TValue) { return l.Resume = true; }},
    {"?", nullptr, TSwitch::NoValue, 9, [](TCommandLine &l, TValue) { return l.Help = true; }},
    {"journal", nullptr, TSwitch::NoValue, 10,
     [](TCommandLine &l, TValue) { return l.KeepJournal = true; }},
    {"epreuve", "épreuve", TSwitch::NeedsValue, PaperGroup,
     [](TCommandLine &l, TValue v) {
       auto paper = Paper(*v);
       if (paper) l.Papers.push_back(std::move(*paper));
       return paper.has_value();
     }},
    {"sortie", nullptr, TSwitch::NeedsValue, 12,
     [](TCommandLine &l, TValue v) {
       l.ExitMinutes = Number(*v, 3);
       return l.ExitMinutes.value_or(MaxExitMinutes + 1) <= MaxExitMinutes;
     }},
    {"heure", nullptr, TSwitch::NoValue, 13,
     [](TCommandLine &l, TValue) { return l.ClockDigits = true; }},
    {"plan", nullptr, TSwitch::NeedsValue, 14,
     [](TCommandLine &l, TValue v) {
       l.PlanPath = *v;
       return !v->empty();
     }},
};

bool IsPlanFileName(const std::string &word) {
  const std::string_view extension = PlanExtension;
  if (word.size() <= extension.size()) return false;
  std::string end = word.substr(word.size() - extension.size());
  std::transform(end.begin(), end.end(), end.begin(), Lower1252);
  return end == extension;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string> &words,
                              const std::optional<std::string> &firstName) {
  TCommandLine line;
  std::vector<std::pair<int, const std::string *>> given;  // group, word
  std::vector<std::string> names;  // the épreuves' so far, the first one's when known
  if (firstName) names.push_back(PaperName(*firstName, 0));
  const std::string *duration = nullptr;                    // /duree or /fin, as typed
  // A plan's file alone, as Windows opens it (a double-click, a file dropped on the program): a
  // path, or a name of a plan's extension.
  if (words.size() == 1 && !words[0].empty() && words[0][0] != '/' && words[0][0] != '-' &&
      (words[0].find('\\') != std::string::npos || IsPlanFileName(words[0]))) {
    line.PlanPath = words[0];
    return line;
  }
  const std::string *plan = nullptr, *planned = nullptr;  // /plan, and a switch a plan gives
  for (const std::string &word : words) {
    if (word.size() < 2 || (word[0] != '/' && word[0] != '-'))
      throw ECommandLine(FormatMessage1("Option inconnue: %s", word));
    std::string_view rest = std::string_view(word).substr(1);
    size_t colon = rest.find(':');
    std::string name(rest.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(), Lower1252);
    TValue value;
    if (colon != std::string_view::npos) value = rest.substr(colon + 1);
    auto s = std::find_if(std::begin(Switches), std::end(Switches),
                          [&](const TSwitch &each) {
                            return name == each.Name || (each.Accented && name == each.Accented);
                          });
    if (s == std::end(Switches)) throw ECommandLine(FormatMessage1("Option inconnue: %s", word));
    bool valueFits = s->Value == TSwitch::MayHaveValue ||
                     (s->Value == TSwitch::NeedsValue) == value.has_value();
    if (!valueFits || !s->Apply(line, value))
      throw ECommandLine(FormatMessage1("Valeur incorrecte: %s", word));
    if (s->Group == PaperGroup && line.Papers.size() == MaxPapers)
      throw ECommandLine(FormatMessage1("Trois épreuves au plus: %s", word));
    if (s->Group == PaperGroup) {
      // Another épreuve may follow, but not one that a reader would take for one before it.
      const std::string &paperName = line.Papers.back().Name;
      switch (PaperNameFault(paperName, names)) {
        case TPaperNameFault::None: break;
        case TPaperNameFault::Character:
          throw ECommandLine(FormatMessage1("Caractère non permis dans le nom: %s", word));
        case TPaperNameFault::Taken: {
          size_t paper = firstName ? 1 : 0;
          for (const auto &[group, other] : given)
            if (group == PaperGroup &&
                PaperNameFault(paperName, {names[paper++]}) != TPaperNameFault::None)
              throw ECommandLine(word + " ne va pas avec " + *other);
          throw ECommandLine(FormatMessage1("La première épreuve porte déjà ce nom: %s", word));
        }
        default: throw ECommandLine(FormatMessage1("Valeur incorrecte: %s", word));
      }
      names.push_back(paperName);
    } else {
      for (const auto &[group, other] : given)
        if (group == s->Group) throw ECommandLine(word + " ne va pas avec " + *other);
    }
    given.emplace_back(s->Group, &word);
    if (s->Group == 1) duration = &word;
    // The plan gives the run's length and épreuves: neither is given beside it.
    if (s->Group == 14) plan = &word;
    if ((s->Group == 1 || s->Group == PaperGroup) && !planned) planned = &word;
    if (plan && planned) throw ECommandLine(word + " ne va pas avec " + *(&word == plan ? planned : plan));
  }
  // No length is an open-ended count-up: asked for only with the direction it has.
  if (line.TotalSeconds == 0 && line.TypeInc != 0)
    throw ECommandLine(FormatMessage1("Valeur incorrecte: %s", *duration));
  return line;
}

std::string CommandLineHelp() {
  return "Tavelin accepte ces options (majuscules ou minuscules, / ou -):\n"
         "\n"
         "/duree:H:MM:SS ou /duree:MM (en minutes): la durée; /duree:0 avec /positif: sans fin\n"
         "/fin:10h45: chronométrage jusqu'à cette heure\n"
         "/positif ou /negatif: le sens du chronométrage\n"
         "/bip:MM:SS ou /bip: beeps activés, à cet intervalle (ou à celui enregistré)\n"
         "/sansbip: beeps désactivés\n"
         "/taille:1 à /taille:5: affichage de 640x480 à 1280x1024\n"
         "/plein ou /plein:N: plein écran (sur l'écran N)\n"
         "/tiers-temps: tiers-temps\n"
         "/depassement: compter le dépassement\n"
         "/lancer: lancer le chrono aussitôt\n"
         "/reprendre: reprendre le chronométrage interrompu\n"
         "/journal: tenir le journal des chronométrages (Documents\\Tavelin\\Journal.csv)\n"
         "/epreuve:\"Anglais=2:00:00\": une épreuve de plus, commencée avec les autres (trois au "
         "plus); \"Anglais=2:00:00+\": avec tiers-temps\n"
         "/sortie:60: sortie et retardataires 60 min après le début (0 à 180, 0: sans)\n"
         "/heure: les chiffres montrent l'heure, la fin et le temps restant dessous\n"
         "/plan:\"Bac blanc.tavelin\": le plan d'examen de ce fichier\n"
         "/?: cette aide\n"
         "\n"
         "/duree, /negatif, /depassement et /epreuve s'écrivent aussi /durée, /négatif, /dépassement "
         "et /épreuve.\n"
         "\n"
         "Ces valeurs ne valent que pour cette fois: les réglages enregistrés ne changent pas.\n"
         "\n"
         "Exemples:\n"
         "Tavelin.exe /duree:1:30:00 /negatif /bip:15:00 /lancer\n"
         "Tavelin.exe /fin:10h45 /plein:2 /depassement\n"
         "Tavelin.exe /duree:2:00:00 /negatif /epreuve:\"Espagnol LV2=1:30:00+\"";
}
