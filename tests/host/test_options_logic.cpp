// What the options screen shows for a measured screen and for the stored settings.
#include <gtest/gtest.h>

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
  EXPECT_EQ(ScreenSizeHint(1024), "Taille réelle de l'écran: 1024x768 pixels");
  // Only the width is measured: 1280 wide always reads 1280x1024.
  EXPECT_EQ(ScreenSizeHint(1280), "Taille réelle de l'écran: 1280x1024 pixels");
  EXPECT_EQ(ScreenSizeHint(1600), "Taille réelle de l'écran: Erreur de mesure !!! pixels");
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
