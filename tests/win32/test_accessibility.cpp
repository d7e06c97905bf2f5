// Every window as a screen reader reads it, through oleacc: each control's name and role, the
// letters of the mnemonics and the order of the Tab key.
#include <windows.h>

#include <oleacc.h>

#include <set>
#include <sstream>

#include "app/uEndTimeScreen.h"
#include "app/uExamScreen.h"
#include "app/uPapersScreen.h"
#include "app/uRunOwner.h"
#include "display/uTimeAddedScreen.h"
#include "display/uWatchChrono.h"
#include "options/uOptionsScreen.h"
#include "settings/uAboutBox.h"
#include "settings/uConfigAbstract.h"
#include "support_win.h"

using namespace testwin;

namespace {

std::string ClassOf(HWND wnd) {
  char cls[64] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  return cls;
}

// What oleacc answers for the window's client object: "name (role)".
std::string Spoken(HWND wnd) {
  IAccessible *acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(wnd, OBJID_CLIENT, IID_IAccessible,
                                        reinterpret_cast<void **>(&acc))))
    return "";
  VARIANT self{}, role{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  acc->get_accName(self, &name);
  acc->get_accRole(self, &role);
  acc->Release();
  char text[256] = "";
  if (name) WideCharToMultiByte(1252, 0, name, -1, text, sizeof text, nullptr, nullptr);
  SysFreeString(name);
  return *text ? std::string(text) + " (" + std::to_string(role.lVal) + ")" : "";
}

BOOL CALLBACK Collect(HWND wnd, LPARAM windows) {
  reinterpret_cast<std::vector<HWND> *>(windows)->push_back(wnd);
  return TRUE;
}

// Checks a window as a screen reader user meets it: every control (a button, a box, a list; not
// the texts, which are read as they are, nor a box's arrows) has a name of its own; no two
// mnemonics share a letter; Tab goes through the controls as one reads them, line by line.
void ExpectReadable(HWND window, const std::string &what) {
  std::vector<HWND> all;
  EnumChildWindows(window, &Collect, LPARAM(&all));
  std::set<std::string> names;
  std::set<char> letters;
  std::ostringstream said;
  std::vector<HWND> stops;
  for (HWND w : all) {
    bool shown = true;
    for (HWND up = w; up && up != window; up = GetParent(up))
      shown = shown && (GetWindowLongA(up, GWL_STYLE) & WS_VISIBLE);
    char text[256] = "";
    GetWindowTextA(w, text, sizeof text);
    if (const char *amp = strchr(text, '&'); shown && amp && amp[1] != '&') {
      EXPECT_TRUE(letters.insert(char(toupper(amp[1]))).second) << what << ": " << text;
    }
    std::string cls = ClassOf(w);
    if (shown && (GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP) && ClassOf(GetParent(w)) != "ComboBox")
      stops.push_back(w);
    if (!shown || (cls != "Button" && cls != "Edit" && cls != "ComboBox") ||
        ClassOf(GetParent(w)) == "ComboBox")
      continue;
    // Wine names a list after its text (its entry); Windows, as an edit, after the static
    // window just before it, which is therefore what a list is checked for.
    std::string name = cls == "ComboBox" ? Spoken(GetWindow(w, GW_HWNDPREV)) : Spoken(w);
    said << name << " | ";
    EXPECT_FALSE(name.empty()) << what << ": a " << cls << " without a name after " << said.str();
    EXPECT_TRUE(name.empty() || names.insert(name.substr(0, name.rfind(" ("))).second)
        << what << ": twice " << name;
  }
  // Tab goes through the windows that stop it in their order, the order EnumChildWindows gives
  // (the system leaves the stop of a group of round buttons on its checked one alone).
  HWND at = nullptr;
  for (HWND next : stops) {
    RECT a, b;
    GetWindowRect(at ? at : next, &a);
    GetWindowRect(next, &b);
    int middle = (b.top + b.bottom) / 2;
    EXPECT_TRUE(!at || middle >= a.bottom || (middle > a.top && b.left >= a.right))
        << what << ": Tab goes from " << Spoken(at) << " to " << Spoken(next);
    at = next;
  }
}

// The pixels that a window paints in its client area.
std::vector<COLORREF> Painted(HWND wnd) {
  RECT r;
  GetClientRect(wnd, &r);
  gdi::WindowDC screen(nullptr);
  gdi::MemoryDC dc(screen.dc(), r.right, r.bottom);
  SendMessageA(wnd, WM_PRINTCLIENT, WPARAM(dc.dc()), PRF_CLIENT);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) pixels.push_back(GetPixel(dc.dc(), x, y));
  return pixels;
}

class Accessibility : public MainWindowTest {
  void PrepareRegistry() override { WriteDword(SettingsKey(), "BeepActive", 1); }
};

TEST_F(Accessibility, EveryWindowIsNamedAndReadInOrder) {
  ASSERT_TRUE(IsWindowVisible(main_->Get<TGroupBox>("beepbox").Handle()));
  ExpectReadable(main_->Handle(), "Tavelin");
  TOptionsScreen options(main_.get());
  TEndTimeScreen endTime(main_.get());
  TExamScreen exam(main_.get());
  TPapersScreen papers(main_.get(), -1);
  TTimeAddedScreen timeAdded(main_.get(), nullptr);
  TInfoVersion info(nullptr);
  TAboutBox about(main_.get(), &info);
  for (TForm *form : std::vector<TForm *>{&options, &endTime, &exam, &papers, &timeAdded, &about}) {
    form->CreateHandle();
    ExpectReadable(form->Handle(), form->Caption());
  }
  // A box of a row, named for its row, looks as the system writes its caption, at any scale.
  for (const char *box : {"CheckThird2", "CheckThird3"}) {
    HWND third = papers.Get<TCheckBox>(box).Handle();
    std::vector<COLORREF> picture = Painted(third);
    SetWindowLongA(third, GWL_STYLE, GetWindowLongA(third, GWL_STYLE) & ~BS_BITMAP);
    SetWindowTextA(third, "Tiers-temps");
    EXPECT_EQ(Painted(third), picture) << box;
    EXPECT_GT(std::set<COLORREF>(picture.begin(), picture.end()).size(), 2u);
    papers.ChangeDpi(144, nullptr);
  }
  {
    TRunOwner run;
    TNavigChrono bar(main_.get(), run);
    ExpectReadable(bar.Handle(), bar.Caption());
    EXPECT_EQ(Spoken(bar.WatchChrono().Handle()), Application.Title() + " - chronomètre (10)");
    WhenBoxOpens([](HWND box) {
      ASSERT_NE(box, nullptr);
      ExpectReadable(box, "the question");
      PostMessageA(box, WM_COMMAND, IDNO, 0);
    });
    StopRunBox(bar);
  }
}

}  // namespace
