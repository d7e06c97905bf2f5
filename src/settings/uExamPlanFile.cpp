// uExamPlanFile - an exam's plan as a text file. See the header.
#include "settings/uExamPlanFile.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>

#include "base/uText.h"
#include "run/uExamPaper.h"
#include "settings/uCommandLine.h"
#include "settings/uConfigTypes.h"

namespace {

constexpr uint32_t MaxSecondsNearEnd = 999;
constexpr char Bom[] = "\xEF\xBB\xBF";

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A key or a word as a reader types it: lower case, without accents, single spaces.
std::string Folded(std::string_view text) {
  std::string folded;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z') u = u + 0x20;
    else if (u >= 0xC0 && u != 0xD7 && u != 0xF7) {
      static const char base[] = "aaaaaaaceeeeiiiidnooooo_ouuuuyts";
      u = u == 0xFF ? 'y' : static_cast<unsigned char>(base[(u - 0xC0) % 32]);
    }
    if ((u == ' ' || u == '\t') && (folded.empty() || folded.back() == ' ')) continue;
    folded += u == '\t' ? ' ' : char(u);
  }
  if (!folded.empty() && folded.back() == ' ') folded.pop_back();
  return folded;
}

std::string WithoutSpaces(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '\t') out += c;
  return out;
}

// "8h00", "8h", "8:00", "08 h 00": a minute of the day.
std::optional<int> TimeOfDay(std::string_view value) {
  const std::string text = Folded(WithoutSpaces(value));
  const size_t mark = text.find_first_of("h:");
  if (mark == std::string::npos) return {};
  const auto h = Number(std::string_view(text).substr(0, mark), 2);
  const std::string_view after = std::string_view(text).substr(mark + 1);
  const auto m = after.empty() && text[mark] == 'h' ? std::optional<uint32_t>(0) : Number(after, 2);
  if (!h || !m || *h > 23 || *m > 59 || (!after.empty() && after.size() != 2)) return {};
  return int(*h * 60 + *m);
}

// "4h00", "1h30", "2h", "1:30:00", "90 min": a length in seconds (0 allowed here).
std::optional<uint32_t> Length(std::string_view value) {
  const std::string text = Folded(WithoutSpaces(value));
  const std::string_view t = text;
  if (t.size() > 3 && t.substr(t.size() - 3) == "min") {
    const auto m = Number(t.substr(0, t.size() - 3), 4);
    return m ? std::optional<uint32_t>(*m * 60) : std::nullopt;
  }
  if (const size_t h = t.find('h'); h != std::string_view::npos) {
    const auto hours = Number(t.substr(0, h), 2);
    const std::string_view after = t.substr(h + 1);
    const auto minutes = after.empty() ? std::optional<uint32_t>(0) : Number(after, 2);
    if (!hours || !minutes || *minutes > 59 || (!after.empty() && after.size() != 2)) return {};
    return (*hours * 60 + *minutes) * 60;
  }
  const size_t c1 = t.find(':'), c2 = c1 == std::string_view::npos ? c1 : t.find(':', c1 + 1);
  if (c2 == std::string_view::npos) return {};
  const auto h = Number(t.substr(0, c1), 2), m = Number(t.substr(c1 + 1, c2 - c1 - 1), 2),
             s = Number(t.substr(c2 + 1), 2);
  if (!h || !m || !s || *m > 59 || *s > 59 || t.size() - c2 - 1 != 2 || c2 - c1 - 1 != 2) return {};
  return (*h * 60 + *m) * 60 + *s;
}

std::string MinuteWords(int minute) {
  std::string text = std::to_string(minute / 60) + "h";
  if (minute % 60 < 10) text += '0';
  return text + std::to_string(minute % 60);
}

std::string LengthWords(uint32_t seconds) {
  if (seconds % 60 != 0) {
    char text[24];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
  }
  return MinuteWords(int(seconds / 60));
}

// Below the space, DEL, and the bytes that Windows-1252 leaves free.
bool Refused(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F || u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
}

// What keeps a line of text (the plan's name, the establishment, the room) from being one.
std::string TextFault(const std::string &text) {
  if (text.size() > MaxPlanText)
    return "texte de plus de " + std::to_string(MaxPlanText) + " caractères";
  if (std::any_of(text.begin(), text.end(), Refused)) return "caractère non permis";
  if (std::string(Trimmed(text)) != text) return "espaces autour du texte";
  return {};
}

std::string NameFault(const std::string &name, const std::vector<std::string> &taken) {
  switch (PaperNameFault(name, taken)) {
    case TPaperNameFault::None:
      return std::string(Trimmed(name)) == name ? std::string() : "espaces autour du nom";
    case TPaperNameFault::Empty: return "l'épreuve n'a pas de nom";
    case TPaperNameFault::TooLong:
      return "nom d'épreuve de plus de " + std::to_string(MaxPaperName) + " caractères";
    case TPaperNameFault::Character: return "caractère non permis dans le nom";
    case TPaperNameFault::Taken: return "deux épreuves s'appellent " + Quoted(name);
  }
  return {};
}

// The plan's checks once read; `paperLine` and `line` give the line that a fault is told at.
void CheckPlan(const TExamPlanFile &plan, const std::function<size_t(size_t)> &paperLine,
               const std::function<size_t(const char *)> &line) {
  if (plan.Name.empty()) throw EPlanFile(0, "il manque le nom du plan (Nom = ...)");
  for (const auto &[text, key] : {std::pair{&plan.Name, "nom"},
                                  std::pair{&plan.Establishment, "etablissement"},
                                  std::pair{&plan.Room, "salle"}})
    if (std::string fault = TextFault(*text); !fault.empty()) throw EPlanFile(line(key), fault);
  if (plan.Papers.empty()) throw EPlanFile(0, "il manque une épreuve (Épreuve = Nom ; 2h00)");
  if (plan.Papers.size() > MaxPapers)
    throw EPlanFile(paperLine(MaxPapers), "quatre épreuves au plus");
  if (plan.StartMinute < -1 || plan.StartMinute >= 24 * 60)
    throw EPlanFile(line("debut"), "heure incorrecte");
  if (plan.StartsByItself && plan.StartMinute < 0)
    throw EPlanFile(line("depart automatique"), "le départ automatique demande le début (Début = 8h00)");
  std::vector<std::string> names;
  for (size_t i = 0; i < plan.Papers.size(); ++i) {
    const TPlanPaper &p = plan.Papers[i];
    if (std::string fault = NameFault(p.Name, names); !fault.empty())
      throw EPlanFile(paperLine(i), fault);
    names.push_back(p.Name);
    uint32_t seconds = p.Seconds;
    if (p.EndMinute >= 0) {
      if (p.Seconds != 0 || p.EndMinute >= 24 * 60)
        throw EPlanFile(paperLine(i), "une durée ou une fin, pas les deux");
      if (plan.StartMinute < 0 && i != 0)
        throw EPlanFile(paperLine(i), "une fin à une heure donnée demande le début (Début = 8h00), "
                                      "sauf pour la première épreuve");
      if (plan.StartMinute >= 0 && p.EndMinute <= plan.StartMinute)
        throw EPlanFile(paperLine(i), "la fin " + MinuteWords(p.EndMinute) +
                                          " n'est pas après le début " +
                                          MinuteWords(plan.StartMinute));
      seconds = plan.StartMinute >= 0 ? uint32_t(p.EndMinute - plan.StartMinute) * 60 : 1;
    } else if (p.EndMinute != -1) {
      throw EPlanFile(paperLine(i), "heure de fin incorrecte");
    }
    if (seconds == 0) throw EPlanFile(paperLine(i), "durée nulle");
    const uint32_t most = i == 0 ? MaxFirstPaperSeconds : MaxPaperSeconds;
    if (seconds > most) throw EPlanFile(paperLine(i), "épreuve de plus de " + LengthWords(most));
  }
  const std::vector<uint32_t> &w = plan.WarnMinutes;
  if (w.size() > MaxWarnings || WarnMinuteValues(WarnMinutesText(w)) != w)
    throw EPlanFile(line("avertissements"),
                    "trois avertissements au plus, de 1 à 999 minutes, chacun une fois");
  if (plan.ExitMinutes > MaxExitMinutes)
    throw EPlanFile(line("sortie"), "de 0 à " + std::to_string(MaxExitMinutes) + " minutes");
  if (plan.SecondsNearEnd > MaxSecondsNearEnd)
    throw EPlanFile(line("secondes"), "de 0 à 999 minutes");
}

struct TKey {
  const char *Folded;  // as Folded gives it
  // Reads the value into the plan; a text saying what is wrong, or empty.
  std::string (*Read)(TExamPlanFile &plan, const std::string &value);
  bool Repeats = false;
};

std::string Yes(bool &target, const std::string &value) {
  const std::string word = Folded(value);
  if (word != "oui" && word != "non") return "\"oui\" ou \"non\" attendu: " + Quoted(value);
  target = word == "oui";
  return {};
}

std::string Minutes(uint32_t &target, uint32_t most, const std::string &value) {
  std::string text = Folded(WithoutSpaces(value));
  if (text.size() > 3 && text.compare(text.size() - 3, 3, "min") == 0) text.resize(text.size() - 3);
  const auto n = Number(text, 3);
  if (!n || *n > most)
    return "un nombre de minutes de 0 à " + std::to_string(most) + " attendu: " + Quoted(value);
  target = *n;
  return {};
}

std::string ReadPaper(TExamPlanFile &plan, const std::string &value) {
  static const std::string form =
      "une épreuve s'écrit \"Nom ; 2h00\" ou \"Nom ; fin 10h00\", et \"; tiers-temps\" après "
      "s'il y a lieu";
  std::string_view rest = value;
  TPlanPaper paper;
  auto lastField = [&rest]() {
    const size_t at = rest.rfind(';');
    if (at == std::string_view::npos) return std::optional<std::string>();
    std::string field(Trimmed(rest.substr(at + 1)));
    rest = rest.substr(0, at);
    return std::optional<std::string>(field);
  };
  auto field = lastField();
  if (!field) return form;
  if (WithoutSpaces(Folded(*field)) == "tiers-temps") {
    paper.ExtraThird = true;
    field = lastField();
    if (!field) return form;
  }
  const std::string when = Folded(*field);
  if (when.rfind("fin", 0) == 0) {
    const auto minute = TimeOfDay(std::string_view(when).substr(3));
    if (!minute) return "heure de fin incorrecte: " + Quoted(*field) + " (par exemple fin 10h00)";
    paper.EndMinute = *minute;
  } else {
    const auto seconds = Length(*field);
    if (!seconds)
      return "durée incorrecte: " + Quoted(*field) + " (par exemple 2h00, 1h30, 90 min, 1:30:00)";
    paper.Seconds = *seconds;
  }
  paper.Name = std::string(Trimmed(rest));
  plan.Papers.push_back(std::move(paper));
  return {};
}

const TKey Keys[] = {
    {"nom", [](TExamPlanFile &p, const std::string &v) { return (p.Name = v), std::string(); }},
    {"etablissement",
     [](TExamPlanFile &p, const std::string &v) { return (p.Establishment = v), std::string(); }},
    {"salle", [](TExamPlanFile &p, const std::string &v) { return (p.Room = v), std::string(); }},
    {"debut",
     [](TExamPlanFile &p, const std::string &v) {
       const auto minute = TimeOfDay(v);
       if (!minute) return "heure incorrecte: " + Quoted(v) + " (par exemple 8h00)";
       p.StartMinute = *minute;
       return std::string();
     }},
    {"depart automatique",
     [](TExamPlanFile &p, const std::string &v) { return Yes(p.StartsByItself, v); }},
    {"epreuve", ReadPaper, true},
    {"sens",
     [](TExamPlanFile &p, const std::string &v) {
       const std::string word = Folded(v);
       if (word != "negatif" && word != "positif")
         return "\"négatif\" ou \"positif\" attendu: " + Quoted(v);
       p.CountsDown = word == "negatif";
       return std::string();
     }},
    {"avertissements",
     [](TExamPlanFile &p, const std::string &v) {
       std::vector<uint32_t> minutes;
       std::string word;
       bool fits = true;
       for (const char c : v + " ") {
         if (c != ' ' && c != '\t' && c != ',') {
           word += c;
           continue;
         }
         if (word.empty()) continue;
         const auto n = Number(word, 3);
         fits = fits && n && *n >= 1 && std::find(minutes.begin(), minutes.end(), *n) == minutes.end();
         if (n) minutes.push_back(*n);
         word.clear();
       }
       if (!fits || minutes.size() > MaxWarnings)
         return "trois avertissements au plus, de 1 à 999 minutes, chacun une fois: " + Quoted(v);
       std::sort(minutes.begin(), minutes.end(), std::greater<>());
       p.WarnMinutes = minutes;
       return std::string();
     }},
    {"sortie",
     [](TExamPlanFile &p, const std::string &v) { return Minutes(p.ExitMinutes, MaxExitMinutes, v); }},
    {"horloge", [](TExamPlanFile &p, const std::string &v) { return Yes(p.ShowClock, v); }},
    {"heure dans les chiffres",
     [](TExamPlanFile &p, const std::string &v) { return Yes(p.ClockDigits, v); }},
    {"secondes",
     [](TExamPlanFile &p, const std::string &v) {
       return Minutes(p.SecondsNearEnd, MaxSecondsNearEnd, v);
     }},
    {"depassement", [](TExamPlanFile &p, const std::string &v) { return Yes(p.CountOvertime, v); }},
    {"journal", [](TExamPlanFile &p, const std::string &v) { return Yes(p.KeepJournal, v); }},
};

}  // namespace

EPlanFile::EPlanFile(size_t line, const std::string &what)
    : ETavelinError(line == 0 ? what : "ligne " + std::to_string(line) + ": " + what),
      Line(line), What(what) {}

std::string PlanFault(const TExamPlanFile &plan) {
  try {
    CheckPlan(plan, [](size_t) { return size_t(0); }, [](const char *) { return size_t(0); });
  } catch (const EPlanFile &e) {
    return e.What;
  }
  return {};
}

TExamPlanFile ReadPlanFile(const std::string &bytes) {
  if (bytes.size() > MaxPlanBytes) throw EPlanFile(0, "le fichier est trop grand pour un plan");
  std::string_view text = bytes;
  if (text.rfind(Bom, 0) == 0) text.remove_prefix(3);
  TExamPlanFile plan;
  std::vector<std::pair<std::string, size_t>> given;  // folded key, line
  std::vector<size_t> paperLines;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const auto line = Utf8ToCp1252Exact(std::string(raw));
    if (!line)
      throw EPlanFile(number, "caractère illisible (le fichier doit être en UTF-8) ou que "
                              "Tavelin ne peut pas écrire");
    const std::string_view content = Trimmed(*line);
    if (content.empty() || content[0] == '#') continue;
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos)
      throw EPlanFile(number, "il manque \"=\" entre la clé et sa valeur");
    const std::string keyText(Trimmed(content.substr(0, equals)));
    const std::string key = Folded(keyText);
    const std::string value(Trimmed(content.substr(equals + 1)));
    const auto k = std::find_if(std::begin(Keys), std::end(Keys),
                                [&](const TKey &each) { return key == each.Folded; });
    if (k == std::end(Keys)) throw EPlanFile(number, "clé inconnue: " + Quoted(keyText));
    if (!k->Repeats)
      for (const auto &[other, at] : given)
        if (other == key)
          throw EPlanFile(number, Quoted(keyText) + " est déjà donné ligne " + std::to_string(at));
    given.emplace_back(key, number);
    if (k->Repeats) paperLines.push_back(number);
    // An empty value leaves the key out, but for what a plan must have.
    if (value.empty() && !k->Repeats && key != "nom") continue;
    if (std::string fault = k->Read(plan, value); !fault.empty()) throw EPlanFile(number, fault);
    if (k->Repeats && plan.Papers.size() > MaxPapers)
      throw EPlanFile(number, "quatre épreuves au plus");
  }
  CheckPlan(
      plan, [&](size_t i) { return i < paperLines.size() ? paperLines[i] : 0; },
      [&](const char *key) {
        for (const auto &[other, at] : given)
          if (other == key) return at;
        return size_t(0);
      });
  return plan;
}

std::string PlanFileText(const TExamPlanFile &plan) {
  std::string text = "# Plan d'examen de Tavelin\r\n";
  auto put = [&text](const char *key, const std::string &value) {
    text += key;
    text += " = " + value + "\r\n";
  };
  auto yes = [](bool on) { return std::string(on ? "oui" : "non"); };
  put("Nom", plan.Name);
  if (!plan.Establishment.empty()) put("Établissement", plan.Establishment);
  if (!plan.Room.empty()) put("Salle", plan.Room);
  if (plan.StartMinute >= 0) {
    put("Début", MinuteWords(plan.StartMinute));
    put("Départ automatique", yes(plan.StartsByItself));
  }
  for (const TPlanPaper &p : plan.Papers)
    put("Épreuve", p.Name + " ; " +
                       (p.EndMinute >= 0 ? "fin " + MinuteWords(p.EndMinute) : LengthWords(p.Seconds)) +
                       (p.ExtraThird ? " ; tiers-temps" : ""));
  put("Sens", plan.CountsDown ? "négatif" : "positif");
  if (!plan.WarnMinutes.empty()) put("Avertissements", WarnMinutesText(plan.WarnMinutes));
  put("Sortie", std::to_string(plan.ExitMinutes));
  put("Horloge", yes(plan.ShowClock));
  put("Heure dans les chiffres", yes(plan.ClockDigits));
  put("Secondes", std::to_string(plan.SecondsNearEnd));
  put("Dépassement", yes(plan.CountOvertime));
  put("Journal", yes(plan.KeepJournal));
  return Bom + Cp1252ToUtf8(text);
}

std::string PlanFileMessage(const std::string &path, const EPlanFile &e) {
  std::string text = "Le plan \"" + path + "\" ne peut pas être ouvert:\n";
  if (e.Line != 0) text += "ligne " + std::to_string(e.Line) + ": ";
  return text + e.What + ".";
}
