// The texts the about box reads from outside: the version block's file and product versions, and
// the lines of info.add beside the executable. Input: a byte choosing the major version's text
// length, then the text.
// The four parts of a version give back its text; the lines of a file give back the file, line
// ends aside, and are listed whole in the memo.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "settings/uAboutText.h"
#include "settings/uConfigTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
  const std::string major = text.substr(0, std::min<size_t>(data[0] % 8, text.size()));

  std::string parts[5];
  for (int p = 1; p <= 4; ++p) parts[p] = VersionPart(text, p);
  for (int p = 1; p <= 3; ++p) Check(parts[p].find('.') == std::string::npos, "a part with a dot");
  if (std::count(text.begin(), text.end(), '.') >= 3)
    Check(parts[1] + "." + parts[2] + "." + parts[3] + "." + parts[4] == text,
          "the parts give back another version");
  const std::string key = VersionKeyFrom(text, major);
  Check(text.find('.') == std::string::npos ? key == major : text.rfind(key + ".", 0) == 0,
        "the key is not the version's first part");
  std::string title = "unchanged";
  BuildTitleText(uint8_t(data[0] >> 4), text, parts[1], parts[2], "", "Tavelin", title);

  const std::vector<std::string> lines = SplitTextLines(text);
  std::string joined, flat;
  for (size_t i = 0; i < lines.size(); ++i) {
    Check(lines[i].find_first_of("\r\n") == std::string::npos, "a line holding a line end");
    joined += (i ? "\n" : "") + lines[i];
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    flat += text[i] == '\r' ? '\n' : text[i];
  }
  if (!flat.empty() && flat.back() == '\n') flat.pop_back();
  Check(joined == flat, "the lines give back another file");

  TAboutMemoInfo info;
  info.ExtraLines = lines;
  const std::vector<std::string> memo = AboutMemoLines(info);
  const auto heading = std::find(memo.begin(), memo.end(), "Informations additionnelles:");
  Check(lines.empty() == (heading == memo.end()), "the file's heading without its lines");
  if (!lines.empty())
    Check(memo.end() - heading > ptrdiff_t(lines.size()) &&
              std::equal(lines.begin(), lines.end(), heading + 1),
          "the file's lines not listed whole");
  return 0;
}
