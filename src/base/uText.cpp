#include "base/uText.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <cstdint>

std::string ExeFileName(const std::string &exePath) {
  size_t slash = exePath.find_last_of("\\/:");
  return slash == std::string::npos ? exePath : exePath.substr(slash + 1);
}

std::string ExeBaseName(const std::string &exePath) {
  std::string file = ExeFileName(exePath);
  return file.substr(0, file.find('.'));
}

std::string ApplicationTitleFromExe(const std::string &exePath) {
  std::string file = ExeFileName(exePath);
  size_t dot = file.rfind('.');
  std::string title = dot == std::string::npos ? file : file.substr(0, dot);
  for (size_t i = 1; i < title.size(); ++i)
    title[i] = char(std::tolower(static_cast<unsigned char>(title[i])));
  return title;
}

namespace {
// Code points 0x80..0x9F of Windows-1252 that are not Latin-1.
const struct {
  uint16_t cp;
  uint8_t byte;
} Cp1252Specials[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
    {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
    {0x017E, 0x9E}, {0x0178, 0x9F}};
}  // namespace

std::string Utf8ToCp1252(const std::string &utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out += '?'; ++i; continue; }
    bool ok = i + len <= utf8.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) { out += '?'; ++i; continue; }
    i += len;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) { out += char(cp); continue; }
    char mapped = '?';
    for (const auto &s : Cp1252Specials)
      if (s.cp == cp) mapped = char(s.byte);
    out += mapped;
  }
  return out;
}

std::optional<std::string> Utf8ToCp1252Exact(const std::string &utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp, least;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; least = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; least = 0x80; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; least = 0x800; }
    else return std::nullopt;  // beyond U+FFFF nothing is in Windows-1252 anyway
    if (i + len > utf8.size()) return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < least) return std::nullopt;  // an overlong form
    i += len;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += char(cp);
      continue;
    }
    const auto s = std::find_if(std::begin(Cp1252Specials), std::end(Cp1252Specials),
                                [cp](const auto &each) { return each.cp == cp; });
    if (s == std::end(Cp1252Specials)) return std::nullopt;
    out += char(s->byte);
  }
  return out;
}

std::string Cp1252ToUtf8(const std::string &text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char ch : text) {
    const uint8_t c = static_cast<uint8_t>(ch);
    // The five bytes that Windows-1252 leaves unassigned become the control characters of the
    // same number, as Windows itself converts them: nothing typed is lost.
    uint32_t cp = c;
    for (const auto &s : Cp1252Specials)
      if (s.byte == c) cp = s.cp;
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::optional<uint32_t> Number(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return {};
  uint32_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return {};
    n = n * 10 + uint32_t(c - '0');
  }
  return n;
}
