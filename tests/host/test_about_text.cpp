// The about box's size, mail link and memo lines, apart from any window.
#include <gtest/gtest.h>

#include "settings/uAboutText.h"

namespace {

TEST(AboutBoxSize, WidthIsTheWidestOf250TitleAndAuthor) {
  // Short texts keep the minimum width.
  EXPECT_EQ(AboutBoxSize(100, 150, false, false).Width, 250);
  // A title 200 pixels wide with a narrower author line: 200 + 90.
  EXPECT_EQ(AboutBoxSize(200, 120, false, false).Width, 290);
  // The author line wins when it is the wider: 300 + 18.
  EXPECT_EQ(AboutBoxSize(100, 300, false, false).Width, 318);
  // Right at the edge: 160 + 90 = 250 and 232 + 18 = 250 change nothing; one more pixel does.
  EXPECT_EQ(AboutBoxSize(160, 232, false, false).Width, 250);
  EXPECT_EQ(AboutBoxSize(161, 0, false, false).Width, 251);
  EXPECT_EQ(AboutBoxSize(0, 233, false, false).Width, 251);
}

TEST(AboutBoxSize, EachLinkLineAdds16ToTheHeight) {
  EXPECT_EQ(AboutBoxSize(10, 10, false, false).Height, 192);
  EXPECT_EQ(AboutBoxSize(10, 10, true, false).Height, 208);
  EXPECT_EQ(AboutBoxSize(10, 10, false, true).Height, 208);
  EXPECT_EQ(AboutBoxSize(10, 10, true, true).Height, 224);
  // The links never change the width.
  EXPECT_EQ(AboutBoxSize(200, 10, true, true).Width, 290);
}

TEST(AboutMailLink, IsBuiltWordForWordWithoutEscaping) {
  TAboutMailInfo info;
  info.Address = "jean dupont@exemple.fr";
  info.Title = "Mon chrono";
  info.Major = "1 2";
  info.Minor = "0";
  info.Beta = "\xDF";
  info.ExeFileName = "Mon chrono.exe";
  info.FileVersion = "1 2.0.0.1";
  info.ProductVersion = "1.0 beta";
  EXPECT_EQ(AboutMailLink(info),
            "mailto:jean dupont@exemple.fr?Subject=(Mon chrono Version 1 2.0\xDF)&Body="
            "Information concernant le programme (Ne pas effacer): "
            "[ExeName:Mon chrono.exe]/[FileVersion:1 2.0.0.1]/[ProductVersion:1.0 beta]");
}

TEST(AboutMailLink, PercentSignsAndAmpersandsStayAsTheyAre) {
  TAboutMailInfo info;
  info.Address = "a%sb@c.d";
  info.Title = "T&T";
  std::string link = AboutMailLink(info);
  EXPECT_EQ(link.substr(0, link.find("&Body=")), "mailto:a%sb@c.d?Subject=(T&T Version .)");
}

TAboutMemoInfo BaseMemo() {
  TAboutMemoInfo m;
  m.Description = "Un chronomètre.";
  m.PlatformName = "Windows NT";
  m.MajorText = "5";
  m.MinorText = "01";
  m.BuildNumber = 2600;
  return m;
}

TEST(AboutMemoLines, WithoutExtraFileOrNotes) {
  EXPECT_EQ(AboutMemoLines(BaseMemo()),
            (std::vector<std::string>{"Description:", "Un chronomètre.", "", "Système hôte:",
                                      "OS: Windows NT.", "Version: 5.01 construction: 2600."}));
}

TEST(AboutMemoLines, ExtraLinesThenNotesEachFollowedByAnEmptyLine) {
  TAboutMemoInfo m = BaseMemo();
  m.ExtraLines = {"ligne 1", "", "ligne 3"};
  m.NoteLines = {"Note:", "", "Mon adresse:"};
  m.CSDVersion = "Service Pack 3";
  EXPECT_EQ(AboutMemoLines(m),
            (std::vector<std::string>{"Description:", "Un chronomètre.", "",
                                      "Informations additionnelles:", "ligne 1", "", "ligne 3", "",
                                      "Note:", "", "Mon adresse:", "", "Système hôte:",
                                      "OS: Windows NT (Service Pack 3).",
                                      "Version: 5.01 construction: 2600."}));
}

TEST(AboutMemoLines, BuildNumberIsShownSigned) {
  TAboutMemoInfo m = BaseMemo();
  m.BuildNumber = 0xFFFFFFFEu;
  EXPECT_EQ(AboutMemoLines(m).back(), "Version: 5.01 construction: -2.");
}

TEST(SplitTextLines, AnyLineEndAndAMissingLastEnd) {
  EXPECT_TRUE(SplitTextLines("").empty());
  EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\rb\r\n\r\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitTextLines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitTextLines("x\n\n"), (std::vector<std::string>{"x", ""}));
}

TEST(AboutPaintedLines, VersionEndsWithTheBetaMarkOrASpace) {
  EXPECT_EQ(AboutVersionLine("1", "0", "0", ""), "Version 1.0.0 ");
  EXPECT_EQ(AboutVersionLine("2", "1", "3", "\xDF"), "Version 2.1.3 \xDF");
  EXPECT_EQ(AboutAuthorLine("Info not registered"), "Réalisation: Info not registered");
}

}  // namespace
