#pragma once
// The about box's arithmetic and texts, apart from any window: its client size from the measured
// widths of its two widest painted lines, the mail link, and the lines of its memo.
#include <cstdint>
#include <string>
#include <vector>

struct TAboutSize {
  int Width = 0;
  int Height = 0;
};

// titleWidth: the application title in the 16-point bold italic font; authorWidth: the author
// line in the 8-point font. W = max(250, title + 90, author + 18); H = 192 + 16 per link line.
TAboutSize AboutBoxSize(int titleWidth, int authorWidth, bool hasMail, bool hasWeb);

struct TAboutMailInfo {
  std::string Address;         // eMail
  std::string Title;           // the application title
  std::string Major, Minor;    // InfoMajor, InfoMinor
  std::string Beta;            // InfoBeta
  std::string ExeFileName;     // the executable's file name, without its directory
  std::string FileVersion;     // FileVersion
  std::string ProductVersion;  // ProductVersion
};
// The "mailto:" link handed to the shell, exactly as built: nothing is escaped.
std::string AboutMailLink(const TAboutMailInfo &info);

struct TAboutMemoInfo {
  std::string Description;              // Comments
  std::vector<std::string> ExtraLines;  // the lines of "info.add" (none when it is absent)
  std::vector<std::string> NoteLines;
  std::string PlatformName;
  std::string CSDVersion;  // the service-pack text, empty when there is none
  std::string MajorText, MinorText;
  uint32_t BuildNumber = 0;  // shown as a signed number
};
std::vector<std::string> AboutMemoLines(const TAboutMemoInfo &info);

// A text file's lines: CR LF, LF or CR end a line; a last line without an end still counts, an
// empty text has none.
std::vector<std::string> SplitTextLines(const std::string &text);

// "Version %s.%s.%s %s", "Réalisation: %s"
std::string AboutVersionLine(const std::string &major, const std::string &minor,
                             const std::string &release, const std::string &beta);
std::string AboutAuthorLine(const std::string &company);
