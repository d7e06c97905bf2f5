#include "settings/uConfigTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

TConfigFieldsRec MakeFieldDescRec(const std::string &Name, TConfigFieldType FieldType, void *Data,
                                  int32_t Size, const TConfigDefault &Default) {
  if (FieldType == TConfigFieldType::fdSubKey || FieldType == TConfigFieldType::fdStringList)
    throw ETavelinError("TConfigAbstract.MakeFieldDescRec: Impossible de créer un champ étendu "
                        "(sous clef: fdSubKey/fdStringList)");
  return TConfigFieldsRec{Name, FieldType, Data, Size, Default};
}

std::string DefaultAsText(const TConfigDefault &d) {
  if (auto s = std::get_if<std::string>(&d)) return *s;
  if (auto i = std::get_if<int32_t>(&d)) return std::to_string(*i);
  return std::get<bool>(d) ? "True" : "False";
}

int32_t DefaultAsInteger(const TConfigDefault &d) {
  if (auto i = std::get_if<int32_t>(&d)) return *i;
  if (auto b = std::get_if<bool>(&d)) return *b ? -1 : 0;
  const std::string &s = std::get<std::string>(d);
  try {
    size_t used = 0;
    long v = std::stol(s, &used, 10);
    if (used == s.size()) return int32_t(v);
  } catch (const std::exception &) {
  }
  throw ETavelinError(FormatMessage1("'%s' n'est pas une valeur entière correcte", s));
}

bool DefaultAsBoolean(const TConfigDefault &d) {
  if (auto b = std::get_if<bool>(&d)) return *b;
  if (auto i = std::get_if<int32_t>(&d)) return *i != 0;
  const std::string &s = std::get<std::string>(d);
  std::string lower;
  for (char c : s) lower += char(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "true") return true;
  if (lower == "false") return false;
  return DefaultAsInteger(d) != 0;
}

namespace {
void PutInt32(uint8_t *at, int32_t v) {
  uint32_t u = uint32_t(v);
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(u >> (8 * i));
}
int32_t GetInt32(const uint8_t *at) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(at[i]) << (8 * i);
  return int32_t(u);
}
}  // namespace

std::array<uint8_t, TWindowSettingRec::ByteSize> TWindowSettingRec::Pack() const {
  std::array<uint8_t, ByteSize> b{};
  size_t n = std::min(Name.size(), MaxNameLength);
  b[0] = uint8_t(n);
  std::memcpy(&b[1], Name.data(), n);
  PutInt32(&b[24], Top);
  PutInt32(&b[28], Left);
  PutInt32(&b[32], Height);
  PutInt32(&b[36], Width);
  b[40] = WindowState;
  return b;
}

bool TWindowSettingRec::Unpack(const uint8_t *bytes, size_t size, TWindowSettingRec &out) {
  if (bytes == nullptr || size < ByteSize) return false;
  size_t n = std::min<size_t>(bytes[0], MaxNameLength);
  out.Name.assign(reinterpret_cast<const char *>(bytes + 1), n);
  out.Top = GetInt32(bytes + 24);
  out.Left = GetInt32(bytes + 28);
  out.Height = GetInt32(bytes + 32);
  out.Width = GetInt32(bytes + 36);
  out.WindowState = bytes[40];
  return true;
}

namespace {
int64_t Overlap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
  return std::max<int64_t>(0, int64_t(std::min(a1, b1)) - std::max(a0, b0));
}
// How far apart two ranges lie: 0 when they touch or overlap.
int64_t Gap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
  return std::max<int64_t>({0, int64_t(b0) - a1, int64_t(a0) - b1});
}
}  // namespace

TScreenRect PlaceOnScreen(const TScreenRect &window, int32_t captionHeight,
                          const std::vector<TScreenRect> &workAreas) {
  if (workAreas.empty()) return window;
  const int32_t width = window.Right - window.Left, height = window.Bottom - window.Top;
  const int32_t band = std::clamp(captionHeight, 1, std::max(height, 1));
  const int64_t wanted = std::min<int64_t>(width / 3, 100);
  for (const TScreenRect &w : workAreas)
    if (window.Top >= w.Top && window.Top + band <= w.Bottom &&
        Overlap(window.Left, window.Right, w.Left, w.Right) >= std::max<int64_t>(wanted, 1))
      return window;

  const TScreenRect *nearest = &workAreas.front();
  int64_t bestArea = -1, bestGap = 0;
  for (const TScreenRect &w : workAreas) {
    const int64_t area = Overlap(window.Left, window.Right, w.Left, w.Right) *
                         Overlap(window.Top, window.Bottom, w.Top, w.Bottom);
    const int64_t dx = Gap(window.Left, window.Right, w.Left, w.Right);
    const int64_t dy = Gap(window.Top, window.Bottom, w.Top, w.Bottom);
    const int64_t gap = dx * dx + dy * dy;
    if (area > bestArea || (area == 0 && bestArea == 0 && gap < bestGap)) {
      nearest = &w;
      bestArea = area;
      bestGap = gap;
    }
  }
  const TScreenRect &w = *nearest;
  const int32_t fitW = std::min(width, w.Right - w.Left), fitH = std::min(height, w.Bottom - w.Top);
  TScreenRect placed;
  placed.Left = std::clamp(window.Left, w.Left, w.Right - fitW);
  placed.Top = std::clamp(window.Top, w.Top, w.Bottom - fitH);
  placed.Right = placed.Left + fitW;
  placed.Bottom = placed.Top + fitH;
  return placed;
}

std::string WindowSettingName(TWindowKind kind, const std::string &componentName, int32_t index) {
  std::string name = kind == wkMainWindow ? std::string("MainWindow")
                     : kind == wkByName   ? componentName
                                          : std::to_string(index);
  return name.substr(0, TWindowSettingRec::MaxNameLength);
}

std::string VersionPart(const std::string &fileVersion, int part) {
  std::string rest = fileVersion;
  for (int i = 1; i < part && i <= 3; ++i) {
    size_t dot = rest.find('.');
    if (dot != std::string::npos) rest.erase(0, dot + 1);
  }
  if (part >= 4) return rest;
  size_t dot = rest.find('.');
  return dot == std::string::npos ? std::string() : rest.substr(0, dot);
}

void BuildTitleText(uint8_t kind, const std::string &title, const std::string &major,
                    const std::string &minor, const std::string &beta,
                    const std::string &exeBaseName, std::string &result) {
  switch (kind) {
    case 0: result = title + " - Version " + major + "." + minor + beta; break;
    case 1: result = title + " " + major + "." + minor + beta; break;
    case 2: result = title; break;
    case 3: result = exeBaseName; break;
    default: break;
  }
}

std::string VersionKeyFrom(const std::string &productVersion, const std::string &infoMajor) {
  size_t dot = productVersion.find('.');
  return dot == std::string::npos ? infoMajor : productVersion.substr(0, dot);
}

namespace {
// The words of a text between spaces or tabs.
std::vector<std::string> Words(const std::string &text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + ' ') {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

bool IsWholeNumber(const std::string &word) {
  return !word.empty() &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number's value, or MaxWarnMinute + 1 for any larger one, however many digits it has.
uint32_t CappedValue(const std::string &digits) {
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (digits.size() - first > 3) return MaxWarnMinute + 1;
  return uint32_t(std::stoul(digits.substr(first)));
}

// Whole numbers 1 to 999, each once, largest first, at most three.
std::vector<uint32_t> KeptMinutes(std::vector<uint32_t> minutes) {
  std::erase_if(minutes, [](uint32_t m) { return m < 1 || m > MaxWarnMinute; });
  std::sort(minutes.begin(), minutes.end(), std::greater<>());
  minutes.erase(std::unique(minutes.begin(), minutes.end()), minutes.end());
  if (minutes.size() > MaxWarnings) minutes.resize(MaxWarnings);
  return minutes;
}
}  // namespace

std::string WarnMinutesText(const std::vector<uint32_t> &minutes) {
  std::string text;
  for (uint32_t m : KeptMinutes(minutes)) {
    if (!text.empty()) text += ' ';
    text += std::to_string(m);
  }
  return text;
}

std::vector<uint32_t> WarnMinuteValues(const std::string &text) {
  std::vector<uint32_t> minutes;
  for (const std::string &word : Words(text))
    if (IsWholeNumber(word)) minutes.push_back(CappedValue(word));
  return KeptMinutes(std::move(minutes));
}

std::string HealWarnMinutes(const std::string &text, bool &wasValid) {
  std::vector<std::string> words = Words(text);
  wasValid = std::all_of(words.begin(), words.end(), IsWholeNumber);
  return wasValid ? WarnMinutesText(WarnMinuteValues(text)) : std::string();
}

std::vector<std::string> PaperLines(const std::vector<TExamPaper> &papers) {
  std::vector<std::string> lines;
  for (const TExamPaper &paper : papers) lines.push_back(PaperLine(paper));
  return lines;
}

std::vector<TExamPaper> ReadPaperLines(const std::vector<std::string> &lines, bool &wasValid,
                                      std::vector<std::string> taken) {
  std::vector<TExamPaper> papers;
  wasValid = true;
  for (const std::string &line : lines) {
    std::optional<TExamPaper> paper = ReadPaperLine(line);
    if (!paper || PaperNameFault(paper->Name, taken) != TPaperNameFault::None ||
        papers.size() == MaxPapers - 1) {
      wasValid = false;
      continue;
    }
    taken.push_back(paper->Name);
    papers.push_back(*paper);
  }
  return papers;
}
