// screen: 1600x1200x24
// First start on a screen of a width that no display size matches.
#include <windows.h>

#include "support_win.h"

using namespace testwin;

TEST(SettingsOnWideScreen, DisplaySizeDefaultsTo800x600) {
  ResetRegistry();
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1600);
  {
    ConfigScope config;
    EXPECT_EQ(AppConfig->UserScreenSize, 1);
    EXPECT_EQ(AppConfig->GetScreenWidth(), 800);
  }
  EXPECT_EQ(ReadValue(SettingsKey(), "UserScreenSize").Dword(), 1u);
  // A stored size outside the five is replaced by the one this screen suggests.
  WriteDword(SettingsKey(), "UserScreenSize", 0xFFFFFFFF);
  ConfigScope config;
  EXPECT_EQ(AppConfig->UserScreenSize, 1);
  ResetRegistry();
}
