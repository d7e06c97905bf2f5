// What the options screen shows for a measured screen and for the stored settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/uOptionsLogic.h"

namespace {

TEST(ScreenSizeNames, OnlyTheFiveKnownWidthsHaveAName) {
  const int widths[] = {640, 800, 1024, 1152, 1280};
  const char *names[] = {"640x480", "800x600", "1024x768", "1152x864", "1280x1024"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ScreenSizeNameIndex(widths[i]), i);
    EXPECT_STREQ(ScreenSizeNames[i], names[i]);
  }
  for (int w : {0, -1, 639, 1023, 1280 + 1, 1366, 1600, 1920})
    EXPECT_EQ(ScreenSizeNameIndex(w), 5) << w;
  EXPECT_STREQ(ScreenSizeNames[5], "Erreur de mesure !!!");
}

TEST(ScreenSizeHint, NamesTheMeasuredWidth) {
  EXPECT_EQ(ScreenSizeHint(1024, 768), "Taille réelle de l'écran: 1024x768 pixels");
  // One of the five widths reads as its size's name: 1280 wide always reads 1280x1024.
  EXPECT_EQ(ScreenSizeHint(1280, 800), "Taille réelle de l'écran: 1280x1024 pixels");
  // Any other screen is no failed measure: it reads as its own size.
  EXPECT_EQ(ScreenSizeHint(1600, 1200), "Taille réelle de l'écran: 1600x1200 pixels");
  EXPECT_EQ(ScreenSizeHint(1080, 1920), "Taille réelle de l'écran: 1080x1920 pixels");
}

TEST(SizeList, FiveSizesThenOneFullWidthEntryPerMonitor) {
  std::vector<std::string> five(ScreenSizeNames, ScreenSizeNames + 5);
  EXPECT_EQ(SizeListEntries(0), five);
  auto one = five;
  one.push_back("Plein écran");
  EXPECT_EQ(SizeListEntries(1), one);
  auto two = five;
  two.push_back("Plein écran 1");
  two.push_back("Plein écran 2");
  EXPECT_EQ(SizeListEntries(2), two);
  EXPECT_EQ(SizeListEntries(40).size(), size_t(5 + MaxMonitors));
  EXPECT_EQ(SizeListEntries(40).back(), "Plein écran " + std::to_string(MaxMonitors));
}

TEST(SizeList, AFullWidthSizeSelectsItsMonitorOrThePrimaryWhenItIsGone) {
  EXPECT_EQ(SizeListIndex(5, 1), 5);
  EXPECT_EQ(SizeListIndex(6, 2), 6);
  // The projector of the last lesson is unplugged: the display shows on the primary.
  EXPECT_EQ(SizeListIndex(6, 1), 5);
  EXPECT_EQ(SizeListIndex(5 + MaxMonitors - 1, 2), 5);
  // Past any monitor, or an edited value: no entry.
  EXPECT_EQ(SizeListIndex(5 + MaxMonitors, 2), -1);
  EXPECT_EQ(SizeListIndex(255, 2), -1);
  EXPECT_EQ(SizeListIndex(-1, 2), -1);
  EXPECT_EQ(SizeListIndex(3, 2), 3);
}

TEST(SoundListIndex, EverySourceOtherThanZeroIsTheFile) {
  EXPECT_EQ(SoundListIndex(0), 0);
  EXPECT_EQ(SoundListIndex(1), 1);
  EXPECT_EQ(SoundListIndex(2), 1);
  EXPECT_EQ(SoundListIndex(-1), 1);
}

TEST(SizeListIndex, LowEightBitsAndNeverOutOfTheList) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(SizeListIndex(i), i);
  EXPECT_EQ(SizeListIndex(0x102), 2);
  EXPECT_EQ(SizeListIndex(5), -1);
  EXPECT_EQ(SizeListIndex(255), -1);
  EXPECT_EQ(SizeListIndex(-1), -1);
}

}  // namespace
