// The command line as Windows hands it over: wide words (UTF-16LE, words apart at a NUL unit),
// each brought to Windows-1252 a character a byte, then read as switches.
// Whatever the words, reading them gives switches within their limits or the program's message.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/uText.h"
#include "fuzz_check.h"
#include "settings/uCommandLine.h"

namespace {

void PutUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// A wide word's characters: surrogate pairs joined, a lone surrogate U+FFFD (as Windows reads it).
std::vector<uint32_t> CodePoints(const std::vector<uint16_t> &units) {
  std::vector<uint32_t> cps;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      cps.push_back(0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else {
      cps.push_back(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
  }
  return cps;
}

// The byte of each character of Windows-1252, from the program's own conversion the other way;
// the five bytes that the code page leaves unused have no character.
int ByteOf(uint32_t cp) {
  static const std::vector<int> table = [] {
    std::vector<int> t(0x10000, -1);
    for (int b = 0; b < 256; ++b) {
      const std::string u = Cp1252ToUtf8(std::string(1, char(b)));
      const uint32_t c = u.size() == 1   ? uint8_t(u[0])
                         : u.size() == 2 ? (uint8_t(u[0]) & 0x1F) << 6 | (uint8_t(u[1]) & 0x3F)
                                         : (uint8_t(u[0]) & 0x0F) << 12 |
                                               (uint8_t(u[1]) & 0x3F) << 6 | (uint8_t(u[2]) & 0x3F);
      if (c < 0x80 || c > 0x9F) t[c] = b;
    }
    return t;
  }();
  return cp < table.size() ? table[cp] : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::vector<uint16_t>> wide(1);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = uint16_t(data[i] | data[i + 1] << 8);
    if (unit == 0)
      wide.emplace_back();
    else
      wide.back().push_back(unit);
  }
  if (wide.back().empty()) wide.pop_back();

  std::vector<std::string> words;
  for (const auto &units : wide) {
    const std::vector<uint32_t> cps = CodePoints(units);
    std::string utf8;
    for (uint32_t cp : cps) PutUtf8(utf8, cp);
    std::string word = Utf8ToCp1252(utf8);
    // One byte a character, and a character of Windows-1252 as its own byte, both ways.
    Check(word.size() == cps.size(), "a character not one byte");
    for (size_t i = 0; i < cps.size(); ++i)
      Check(uint8_t(word[i]) == (ByteOf(cps[i]) >= 0 ? ByteOf(cps[i]) : '?'),
            "a character not its byte of Windows-1252, or not '?'");
    Check(Utf8ToCp1252(Cp1252ToUtf8(word)) == word, "Windows-1252 through UTF-8 and back changed");
    words.push_back(std::move(word));
  }

  TCommandLine line;
  try {
    line = ParseCommandLine(words);
  } catch (const ECommandLine &e) {
    Check(*e.what() != '\0', "a message without words");
    return 0;
  }
  Check(line.TotalSeconds.value_or(0) <= 89999, "a duration past 24:59:59");
  Check(line.EndMinute >= -1 && line.EndMinute < 24 * 60, "an end outside the day");
  Check(line.TypeInc.value_or(0) == 0 || line.TypeInc == 1, "a direction of three");
  Check(line.InterBeepSeconds.value_or(1) >= 1 && line.InterBeepSeconds.value_or(1) <= 89999,
        "a beep interval out of range");
  Check(line.UserScreenSize.value_or(0) >= 0 && line.UserScreenSize.value_or(0) < 5 + 16,
        "a display size out of range");
  Check(!(line.TotalSeconds == 0u && line.TypeInc != 0), "an open count-down");
  Check(line.Papers.size() < MaxPapers, "more than three épreuves");
  Check(line.PlanPath.empty() || (!line.TotalSeconds && line.EndMinute < 0 && line.Papers.empty()),
        "a plan beside a length or an épreuve");
  // The moment to leave: the digits of the one /sortie: given, a whole number of minutes.
  for (const std::string &word : words) {
    std::string name = word.substr(0, std::min<size_t>(word.find(':'), word.size()));
    for (char &c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() == 7 && name.substr(1) == "sortie") {
      const std::string value = word.substr(8);
      Check(!value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos &&
                line.ExitMinutes == uint32_t(std::stoul(value)) && *line.ExitMinutes <= MaxExitMinutes,
            "a moment to leave not in whole minutes, or not as given");
    }
  }
  for (size_t i = 0; i < line.Papers.size(); ++i) {
    const TExamPaper &paper = line.Papers[i];
    Check(!paper.Name.empty() && paper.Name.size() <= MaxPaperName, "a name empty or too long");
    Check(paper.Seconds >= 1 && paper.Seconds <= MaxPaperSeconds, "an épreuve's length");
    for (size_t k = 0; k < i; ++k) Check(line.Papers[k].Name != paper.Name, "a name given twice");
  }
  return 0;
}
