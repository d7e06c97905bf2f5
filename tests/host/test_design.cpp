#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/uScale.h"
#include "forms/uDesign.h"

namespace {

std::string ErrorOf(const std::string &text) {
  try {
    ParseDesign(text, "T");
  } catch (const ETavelinError &e) {
    return e.what();
  }
  return "";
}

TEST(Scale, LengthsRoundAsMulDivDoes) {
  EXPECT_EQ(ScaleLength(287, 96), 287);
  EXPECT_EQ(ScaleLength(287, 144), 431);  // 430.5: halves away from zero
  EXPECT_EQ(ScaleLength(273, 144), 410);
  EXPECT_EQ(ScaleLength(-11, 144), -17);  // a font's character height
  EXPECT_EQ(ScaleLength(-11, 120), -14);
  EXPECT_EQ(ScaleLength(205, 120), 256);  // 256.25
  EXPECT_EQ(ScaleLength(38, 192), 76);
  EXPECT_EQ(UnscaleLength(1920, 144), 1280);
  EXPECT_EQ(UnscaleLength(1366, 120), 1093);  // 1092.8
  EXPECT_EQ(RescaleLength(152, 144, 192), 203);
  EXPECT_EQ(RescaleLength(203, 192, 144), 152);
  // A DPI no monitor has reads as 96, never as a division by zero.
  EXPECT_EQ(ScaleLength(100, 0), 100);
  EXPECT_EQ(RescaleLength(100, -5, 192), 200);
}

TEST(Scale, ThePictureOfTheNearestScaleAtOrAbove) {
  EXPECT_EQ(PictureScale(96), 100);
  EXPECT_EQ(PictureScale(72), 100);
  EXPECT_EQ(PictureScale(97), 150);
  EXPECT_EQ(PictureScale(120), 150);
  EXPECT_EQ(PictureScale(144), 150);
  EXPECT_EQ(PictureScale(145), 200);
  EXPECT_EQ(PictureScale(192), 200);
  EXPECT_EQ(PictureScale(288), 200);  // enlarged smoothly from there
}

TEST(Design, ItemsPropertiesAndContinuations) {
  TFormDesign d = ParseDesign(
      "# comment\n"
      "form Main client=287,273 caption=\"Tavelin \\\"1\\\"\"\n"
      "  hint=\"a = b\"\r\n"
      "\n"
      "button Btn parent=Main rect=1,2,3,4 caption=\"&Fermer\" OnClick=closeApppl\n",
      "T");
  ASSERT_EQ(d.Items.size(), 2u);
  EXPECT_EQ(d.Form().Name, "Main");
  EXPECT_EQ(d.Form().Get("caption"), "Tavelin \"1\"");
  EXPECT_EQ(d.Form().Get("hint"), "a = b");
  EXPECT_EQ(d.Form().GetInts("client", 2), (std::vector<int>{287, 273}));
  const TDesignItem *b = d.Find("Btn");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Kind, "button");
  EXPECT_EQ(b->Line, 5);
  EXPECT_EQ(b->GetInts("rect", 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(b->Get("OnClick"), "closeApppl");
  EXPECT_EQ(b->GetInt("tag", 7), 7);
  EXPECT_EQ(b->FirstUnusedKey(), "parent");  // read: rect, OnClick, tag
}

TEST(Design, FaultsNameTheirLine) {
  EXPECT_NE(ErrorOf("button B\n").find("ligne 1"), std::string::npos);  // not a form first
  EXPECT_NE(ErrorOf("form F\nform G\n").find("ligne 2"), std::string::npos);
  EXPECT_NE(ErrorOf("form F\nlabel L\nlabel L\n").find("nom en double"), std::string::npos);
  EXPECT_NE(ErrorOf("form F caption=\"open\n").find("guillemet"), std::string::npos);
  EXPECT_NE(ErrorOf("form F\n  lonely\n").find("ligne 2"), std::string::npos);
  EXPECT_NE(ErrorOf("form F a=1 a=2\n").find("en double"), std::string::npos);
  EXPECT_NE(ErrorOf("form F-G\n").find("nom incorrect"), std::string::npos);
  EXPECT_NE(ErrorOf("# only a comment\n").find("vide"), std::string::npos);
  EXPECT_NE(ErrorOf("  a=1\nform F\n").find("ligne 1"), std::string::npos);

  TFormDesign d = ParseDesign("form F rect=1,x,3,4 tag=2,3 flag=maybe\n", "T");
  EXPECT_THROW(d.Form().GetInts("rect", 4), ETavelinError);
  EXPECT_THROW(d.Form().GetInt("tag", 0), ETavelinError);
  EXPECT_THROW(d.Form().GetBool("flag", false), ETavelinError);
}

// Every design the program carries parses, uses only the kinds the forms know, and names its
// parents before their children.
TEST(Design, ProgramDesignsAreWellFormed) {
  const std::set<std::string> kinds = {"panel",     "groupbox",    "label",      "image",
                                       "spinedit",  "combobox",    "radiobutton", "statictext",
                                       "memo",      "button",      "menu",       "item",
                                       "checkbox",  "edit"};
  namespace fs = std::filesystem;
  int count = 0;
  for (const auto &entry : fs::directory_iterator(fs::path(TAVELIN_SOURCE_DIR) / "resources/forms")) {
    if (entry.path().extension() != ".design") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    TFormDesign d = ParseDesign(ss.str(), entry.path().filename().string());
    std::set<std::string> seen = {d.Form().Name};
    for (size_t i = 1; i < d.Items.size(); ++i) {
      const TDesignItem &item = d.Items[i];
      EXPECT_TRUE(kinds.count(item.Kind)) << entry.path() << ": " << item.Kind;
      std::string parent = item.Get("parent", d.Form().Name);
      if (item.Kind != "menu") {
        EXPECT_TRUE(seen.count(parent)) << item.Name << " before " << parent;
      }
      seen.insert(item.Name);
    }
    ++count;
  }
  EXPECT_GE(count, 1);
}

}  // namespace
