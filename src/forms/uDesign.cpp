#include "forms/uDesign.h"

#include <cctype>

namespace {

[[noreturn]] void Fail(const std::string &design, int line, const std::string &what) {
  throw ETavelinError("Dessin de fenêtre '" + design + "', ligne " + std::to_string(line) + ": " +
                      what);
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Splits one line into words; a quoted word keeps its spaces and loses its escapes.
std::vector<std::string> Words(const std::string &line, const std::string &design, int lineNo) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) { ++i; continue; }
    std::string w;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
      if (line[i] == '"') {
        ++i;
        bool closed = false;
        while (i < line.size()) {
          char c = line[i++];
          if (c == '\\' && i < line.size()) { w += line[i++]; continue; }
          if (c == '"') { closed = true; break; }
          w += c;
        }
        if (!closed) Fail(design, lineNo, "guillemet non fermé");
      } else {
        w += line[i++];
      }
    }
    words.push_back(w);
  }
  return words;
}

}  // namespace

std::string TDesignItem::FirstUnusedKey() const {
  for (const auto &p : Props) {
    bool used = false;
    for (const auto &u : Used) used = used || u == p.first;
    if (!used) return p.first;
  }
  return {};
}

bool TDesignItem::Has(const std::string &key) const {
  Used.push_back(key);
  for (const auto &p : Props)
    if (p.first == key) return true;
  return false;
}

std::string TDesignItem::Get(const std::string &key, const std::string &fallback) const {
  Used.push_back(key);
  for (const auto &p : Props)
    if (p.first == key) return p.second;
  return fallback;
}

int TDesignItem::GetInt(const std::string &key, int fallback) const {
  if (!Has(key)) return fallback;
  std::vector<int> v = GetInts(key, 1);
  return v[0];
}

bool TDesignItem::GetBool(const std::string &key, bool fallback) const {
  if (!Has(key)) return fallback;
  std::string v = Get(key);
  if (v == "1" || v == "true") return true;
  if (v == "0" || v == "false") return false;
  throw ETavelinError("Dessin de fenêtre, ligne " + std::to_string(Line) + ": '" + key +
                      "' attend true ou false");
}

std::vector<int> TDesignItem::GetInts(const std::string &key, size_t count) const {
  std::string v = Get(key);
  std::vector<int> out;
  size_t i = 0;
  while (i <= v.size()) {
    size_t comma = v.find(',', i);
    std::string part = v.substr(i, comma == std::string::npos ? std::string::npos : comma - i);
    size_t used = 0;
    int n = 0;
    bool ok = !part.empty();
    if (ok) {
      try {
        n = std::stoi(part, &used);
      } catch (const std::exception &) {
        ok = false;
      }
    }
    if (!ok || used != part.size())
      throw ETavelinError("Dessin de fenêtre, ligne " + std::to_string(Line) + ": '" + key +
                          "' attend des nombres");
    out.push_back(n);
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  if (out.size() != count)
    throw ETavelinError("Dessin de fenêtre, ligne " + std::to_string(Line) + ": '" + key +
                        "' attend " + std::to_string(count) + " nombre(s)");
  return out;
}

const TDesignItem *TFormDesign::Find(const std::string &name) const {
  for (const auto &item : Items)
    if (item.Name == name) return &item;
  return nullptr;
}

TFormDesign ParseDesign(const std::string &text, const std::string &designName) {
  TFormDesign design;
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() + 1 : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    bool continuation = first > 0;
    std::vector<std::string> words = Words(line, designName, lineNo);
    size_t k = 0;
    if (!continuation) {
      if (words.size() < 2) Fail(designName, lineNo, "un élément a un genre et un nom");
      TDesignItem item;
      item.Kind = words[0];
      item.Name = words[1];
      item.Line = lineNo;
      for (char c : item.Name)
        if (!IsNameChar(c)) Fail(designName, lineNo, "nom incorrect '" + item.Name + "'");
      if (design.Find(item.Name)) Fail(designName, lineNo, "nom en double '" + item.Name + "'");
      if (design.Items.empty() && item.Kind != "form")
        Fail(designName, lineNo, "le dessin commence par la fenêtre (form)");
      if (!design.Items.empty() && item.Kind == "form")
        Fail(designName, lineNo, "une seule fenêtre par dessin");
      design.Items.push_back(item);
      k = 2;
    } else if (design.Items.empty()) {
      Fail(designName, lineNo, "suite d'un élément absent");
    }
    TDesignItem &item = design.Items.back();
    for (; k < words.size(); ++k) {
      size_t eq = words[k].find('=');
      if (eq == std::string::npos || eq == 0)
        Fail(designName, lineNo, "propriété sans valeur '" + words[k] + "'");
      std::string key = words[k].substr(0, eq);
      for (const auto &p : item.Props)
        if (p.first == key) Fail(designName, lineNo, "propriété en double '" + key + "'");
      item.Props.emplace_back(key, words[k].substr(eq + 1));
    }
  }
  if (design.Items.empty()) Fail(designName, lineNo, "dessin vide");
  return design;
}
