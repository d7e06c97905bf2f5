// A form design, any bytes, as the program loads one: UTF-8 brought to Windows-1252, then parsed,
// then every property asked for as each kind of value.
// A design either loads or gives the program's message; one that loads, written out again with
// every word quoted, loads the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/uText.h"
#include "forms/uDesign.h"
#include "fuzz_check.h"

namespace {

std::string Quoted(const std::string &word) {
  std::string q = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + '"';
}

bool SameItems(const TFormDesign &a, const TFormDesign &b) {
  if (a.Items.size() != b.Items.size()) return false;
  for (size_t i = 0; i < a.Items.size(); ++i)
    if (a.Items[i].Kind != b.Items[i].Kind || a.Items[i].Name != b.Items[i].Name ||
        a.Items[i].Props != b.Items[i].Props)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string utf8(reinterpret_cast<const char *>(data), size);
  const std::string text = Utf8ToCp1252(utf8);
  Check(text.size() <= utf8.size(), "the conversion grew the text");
  TFormDesign design;
  try {
    design = ParseDesign(text, "fuzz");
  } catch (const ETavelinError &) {
    return 0;
  }
  Check(!design.Items.empty() && design.Form().Kind == "form", "a design without its form first");
  std::string again;
  for (const TDesignItem &item : design.Items) {
    Check(design.Find(item.Name) == &item, "a name found elsewhere");
    again += Quoted(item.Kind) + ' ' + Quoted(item.Name);
    for (const auto &[key, value] : item.Props) {
      Check(!key.empty() && key.find('=') == std::string::npos, "a key empty or with '='");
      again += ' ' + Quoted(key + '=' + value);
      for (auto ask : {0, 1, 2, 3}) {
        try {
          if (ask == 0) item.GetInt(key, 0);
          if (ask == 1) item.GetBool(key, false);
          if (ask == 2) item.GetInts(key, 4);
          if (ask == 3) Check(item.Get(key, "none") == value, "a value read otherwise");
        } catch (const ETavelinError &) {
        }
      }
    }
    Check(item.FirstUnusedKey().empty(), "a key read and still unused");
    again += '\n';
  }
  TFormDesign reread;
  try {
    reread = ParseDesign(again, "fuzz");
  } catch (const ETavelinError &e) {
    std::fprintf(stderr, "%s\n", e.what());
    Check(false, "written out again, it does not load");
  }
  Check(SameItems(design, reread), "written out again, it loads otherwise");
  return 0;
}
