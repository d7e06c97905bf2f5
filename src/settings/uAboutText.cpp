#include "settings/uAboutText.h"

#include <algorithm>

#include "base/uErrors.h"

TAboutSize AboutBoxSize(int titleWidth, int authorWidth, bool hasMail, bool hasWeb) {
  int a = titleWidth + 80;
  int b = std::max(authorWidth + 8, a);
  TAboutSize size{250, 192};
  if (size.Width - 10 < b) size.Width = b + 10;
  if (hasMail) size.Height += 16;
  if (hasWeb) size.Height += 16;
  return size;
}

std::string AboutMailLink(const TAboutMailInfo &info) {
  std::string link = "mailto:" + info.Address;
  link += "?Subject=(" + info.Title + " Version " + info.Major + "." + info.Minor + info.Beta + ")";
  link += "&Body=";
  link += "Information concernant le programme (Ne pas effacer): ";
  link += "[ExeName:" + info.ExeFileName + "]/[FileVersion:" + info.FileVersion +
          "]/[ProductVersion:" + info.ProductVersion + "]";
  return link;
}

std::vector<std::string> AboutMemoLines(const TAboutMemoInfo &info) {
  std::vector<std::string> lines;
  lines.push_back("Description:");
  lines.push_back(info.Description);
  lines.push_back("");
  if (!info.ExtraLines.empty()) {
    lines.push_back("Informations additionnelles:");
    lines.insert(lines.end(), info.ExtraLines.begin(), info.ExtraLines.end());
    lines.push_back("");
  }
  if (!info.NoteLines.empty()) {
    lines.insert(lines.end(), info.NoteLines.begin(), info.NoteLines.end());
    lines.push_back("");
  }
  lines.push_back("Système hôte:");
  if (info.CSDVersion.empty())
    lines.push_back("OS: " + info.PlatformName + ".");
  else
    lines.push_back("OS: " + info.PlatformName + " (" + info.CSDVersion + ").");
  lines.push_back("Version: " + info.MajorText + "." + info.MinorText +
                  " construction: " + std::to_string(int32_t(info.BuildNumber)) + ".");
  return lines;
}

std::vector<std::string> SplitTextLines(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string AboutVersionLine(const std::string &major, const std::string &minor,
                             const std::string &release, const std::string &beta) {
  return "Version " + major + "." + minor + "." + release + " " + beta;
}

std::string AboutAuthorLine(const std::string &company) {
  return FormatMessage1("Réalisation: %s", company);
}
