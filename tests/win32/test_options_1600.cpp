// screen: 1600x1200x24
// The options dialog on a screen whose width is none of the five display sizes.
#include <windows.h>

#include "options/uOptionsScreen.h"
#include "support_win.h"

using namespace testwin;

namespace {

TEST(OptionsOnAWideScreen, TheSizeHintReportsTheScreensOwnSize) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1600);
  ResetRegistry();
  {
    ConfigScope config;
    TForm owner(nullptr);
    owner.LoadDesignText("form Owner client=287,273 pos=393,123 caption=Tavelin", "Owner");
    owner.CreateHandle();
    MessageBoxWatcher boxes;
    TOptionsScreen dialog(&owner);
    dialog.CreateHandle();
    auto &sizes = dialog.Get<TComboBox>("SizeComboBox");
    EXPECT_EQ(sizes.Hint(), "Taille réelle de l'écran: 1600x1200 pixels");
    // This screen's default display size is 800x600, and that is the entry shown.
    EXPECT_EQ(AppConfig->UserScreenSize, 1);
    EXPECT_EQ(SendMessageA(sizes.Handle(), CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(boxes.Boxes().empty());
  }
  ResetRegistry();
}

TEST(OptionsOnAWideScreen, AStoredSizeIsShownWhateverTheScreen) {
  ResetRegistry();
  WriteDword(SettingsKey(), "UserScreenSize", 4);
  {
    ConfigScope config;
    TForm owner(nullptr);
    owner.LoadDesignText("form Owner client=287,273 pos=393,123 caption=Tavelin", "Owner");
    owner.CreateHandle();
    TOptionsScreen dialog(&owner);
    dialog.CreateHandle();
    auto &sizes = dialog.Get<TComboBox>("SizeComboBox");
    EXPECT_EQ(SendMessageA(sizes.Handle(), CB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(sizes.ItemIndex(), 4);
  }
  ResetRegistry();
}

}  // namespace
