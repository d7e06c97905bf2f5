#pragma once
// The settings store's data that does not depend on Windows: field records, the 44-byte window
// placement, and the texts built from the executable's name and version.
#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/uErrors.h"
#include "base/uText.h"
#include "run/uExamPaper.h"

enum class TConfigFieldType : uint8_t {
  fdString = 0,
  fdInteger = 1,
  fdBoolean = 2,
  fdBinary = 3,
  fdSubKey = 4,
  fdStringList = 5,
  // The épreuves beside the run's own: REG_MULTI_SZ, one PaperLine a line, bound to a
  // std::vector<TExamPaper>.
  fdPaperList = 6,
};

using TConfigDefault = std::variant<std::string, int32_t, bool, std::vector<TExamPaper>>;

struct TConfigFieldsRec {
  std::string Name;
  TConfigFieldType FieldType = TConfigFieldType::fdString;
  void *Data = nullptr;
  int32_t Size = 0;
  TConfigDefault Default;
};

TConfigFieldsRec MakeFieldDescRec(const std::string &Name, TConfigFieldType FieldType, void *Data,
                                  int32_t Size, const TConfigDefault &Default);

// Conversions of a default to the kind of its field, as the store writes a missing value.
std::string DefaultAsText(const TConfigDefault &d);
int32_t DefaultAsInteger(const TConfigDefault &d);
bool DefaultAsBoolean(const TConfigDefault &d);

enum TWindowKind : uint8_t { wkMainWindow = 0, wkByName = 1, wkByIndex = 2 };

// Placement of a window as stored in one REG_BINARY value of exactly 44 bytes.
struct TWindowSettingRec {
  static constexpr size_t ByteSize = 44;
  static constexpr size_t MaxNameLength = 20;
  std::string Name;  // at most 20 characters
  int32_t Top = 0;
  int32_t Left = 0;
  int32_t Height = 0;
  int32_t Width = 0;
  uint8_t WindowState = 0;  // 0 normal, 1 minimised, 2 maximised

  std::array<uint8_t, ByteSize> Pack() const;
  // False when the bytes cannot be a placement (fewer than 44).
  static bool Unpack(const uint8_t *bytes, size_t size, TWindowSettingRec &out);
};

// A rectangle in screen pixels, its right and bottom edges excluded.
struct TScreenRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TScreenRect &) const = default;
};

// Where a window saved at `window` comes back on the monitors of now, given their work areas.
// It stays where it was when its caption (the top `captionHeight` pixels) shows whole in height
// on one work area, over a third of the window's width or 100 pixels, whichever is less: enough
// to take it with the mouse. Otherwise it moves entirely into the work area that holds most of
// it (the nearest when none does), keeping its size, or the work area's if that is smaller.
TScreenRect PlaceOnScreen(const TScreenRect &window, int32_t captionHeight,
                          const std::vector<TScreenRect> &workAreas);

// The value name under which a placement is kept: names are cut to 20 characters.
std::string WindowSettingName(TWindowKind kind, const std::string &componentName, int32_t index);

// Part 1 to 4 of a version text "a.b.c.d"; part 4 is all that is left after three dots.
std::string VersionPart(const std::string &fileVersion, int part);

// GetTitleText of the store; any other kind leaves `result` as it was.
void BuildTitleText(uint8_t kind, const std::string &title, const std::string &major,
                    const std::string &minor, const std::string &beta,
                    const std::string &exeBaseName, std::string &result);

// The registry key level of the major version: the text before the first "." of the product
// version, or the major file version part when the product version has none.
std::string VersionKeyFrom(const std::string &productVersion, const std::string &infoMajor);

// The warnings before the end of a run, in minutes, as the registry keeps them: "30 10 5", largest
// first, single spaces, empty for none.
constexpr uint32_t MaxWarnMinute = 999;
constexpr size_t MaxWarnings = 3;
// The warnings a text keeps: its whole numbers 1 to 999, each once, largest first, at most three
// (the largest). Any other word is left out.
std::vector<uint32_t> WarnMinuteValues(const std::string &text);
// The stored text of some minutes (zeros for unused boxes, repeats, any order), kept as above.
std::string WarnMinutesText(const std::vector<uint32_t> &minutes);
// The stored text brought into that form. A word that is no whole number makes the whole text
// a bad value: wasValid is false and the result is empty, no warning at all.
std::string HealWarnMinutes(const std::string &text, bool &wasValid);

// The épreuves beside the run's own as the registry keeps them, one line each, and back. Reading
// keeps the lines that read as an épreuve, each name once (the first) and none of `taken` (the
// first épreuve's, as shown), at most MaxPapers - 1 of them: wasValid is false when any line was
// left out.
std::vector<std::string> PaperLines(const std::vector<TExamPaper> &papers);
std::vector<TExamPaper> ReadPaperLines(const std::vector<std::string> &lines, bool &wasValid,
                                      std::vector<std::string> taken = {});
