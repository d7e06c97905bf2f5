// The about box: its size and layout, the memo, the mail link through the shell, the web link's
// error, and its life from ShowAbout to freeing itself.
#include <windows.h>

#include <functional>

#include "settings/uAboutBox.h"
#include "settings/uAboutText.h"
#include "settings/uConfigAbstract.h"
#include "support_win.h"

using namespace testwin;

namespace {

// --- Driving the modal box from inside its loop ------------------------------------------------

// The about box that is open now (the active window), or none.
TAboutBox *OpenBox() {
  return dynamic_cast<TAboutBox *>(TWinControl::FromHandle(GetActiveWindow()));
}

// Runs `step` once a modal loop started by `open` is running; the step closes the box.
void WhileOpen(const std::function<void()> &open, std::function<void()> step) {
  Later(80, [step = std::move(step)] {
    TAboutBox *box = OpenBox();
    step();
    if (box && box->Modal() && box->ModalResult == mrNone) {
      ADD_FAILURE() << "the about box is still open";
      box->Close();
    }
  });
  open();
}

// --- Seams -------------------------------------------------------------------------------------

struct ShellCall {
  HWND parent;
  std::string operation, file;
  bool noParameters, noDirectory;
  INT show;
};
std::vector<ShellCall> shellCalls;
INT_PTR shellResult = 42;

HINSTANCE WINAPI RecordShell(HWND parent, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                             LPCSTR directory, INT show) {
  shellCalls.push_back({parent, operation ? operation : "", file ? file : "", parameters == nullptr,
                        directory == nullptr, show});
  return reinterpret_cast<HINSTANCE>(shellResult);
}

std::string TempPath(const std::string &name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

void WriteFileText(const std::string &path, const std::string &text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

int MeasureText(const char *face, int height, bool bold, bool italic, const std::string &text) {
  HFONT font = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, 0, 0, ANSI_CHARSET,
                           0, 0, 0, 0, face);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return size.cx;
}

// left, top, width, height of a window in its form's client area.
std::vector<int> PlaceIn(TForm &form, TWinControl &control) {
  RECT r;
  GetWindowRect(control.Handle(), &r);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT *>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// What the box shows on screen, read back from its client area.
class Capture {
public:
  explicit Capture(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    w_ = r.right;
    h_ = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w_, -h_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(wnd);
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w_, h_, screen, 0, 0, SRCCOPY);
    GdiFlush();
    pixels_.assign(static_cast<uint32_t *>(bits), static_cast<uint32_t *>(bits) + w_ * h_);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
    ReleaseDC(wnd, screen);
  }
  COLORREF At(int x, int y) const {
    uint32_t p = pixels_.at(size_t(y * w_ + x));
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int Count(RECT r, COLORREF c) const {
    int n = 0;
    for (int y = r.top; y < r.bottom && y < h_; ++y)
      for (int x = r.left; x < r.right && x < w_; ++x) n += At(x, y) == c;
    return n;
  }
  int NotCount(RECT r, COLORREF c) const {
    int n = 0;
    for (int y = r.top; y < r.bottom && y < h_; ++y)
      for (int x = r.left; x < r.right && x < w_; ++x) n += At(x, y) != c;
    return n;
  }

private:
  int w_, h_;
  std::vector<uint32_t> pixels_;
};

class About : public ::testing::Test {
protected:
  void SetUp() override {
    realExe_ = Application.ExeName();
    owner_ = std::make_unique<TForm>(nullptr);
    owner_->LoadDesignText("form Owner client=287,273 pos=393,123 caption=Tavelin", "Owner");
    Application.SetMainForm(owner_.get());
    owner_->Show();
    Pump(30);
    info_ = std::make_unique<TInfoVersion>(nullptr);
    info_->NoteLines = {"Note:", "", "Mon adresse:", "Fenwright"};
    infoAdd_ = TempPath("info.add");
    DeleteFileA(infoAdd_.c_str());
    TAboutBox::InfoAddPath = [this] { return infoAdd_; };
    shellCalls.clear();
    shellResult = 42;
    savedShell_ = TAboutBox::ShellExecuteProc;
    TAboutBox::ShellExecuteProc = &RecordShell;
  }
  void TearDown() override {
    TAboutBox::ShellExecuteProc = savedShell_;
    TAboutBox::InfoAddPath = &TAboutBox::DefaultInfoAddPath;
    DeleteFileA(infoAdd_.c_str());
    Pump(30);
    info_.reset();
    Application.SetMainForm(nullptr);
    owner_.reset();
    Application.SetExeNameForTests(realExe_);
    Pump(20);
  }
  std::vector<std::string> ExpectedHostLines() const {
    const TInfoOS &os = *info_->InfoOS;
    std::string osLine = os.CSDVersion.empty()
                             ? "OS: " + os.GetPlatformName() + "."
                             : "OS: " + os.GetPlatformName() + " (" + os.CSDVersion + ").";
    return {"Système hôte:", osLine,
            "Version: " + os.GetMajorText() + "." + os.GetMinorText() + " construction: " +
                std::to_string(int32_t(os.BuildNumber)) + "."};
  }
  // The memo's lines, read when the box is open.
  std::vector<std::string> MemoWhenShown() {
    std::vector<std::string> lines;
    std::string text;
    WhileOpen([this] { info_->ShowAbout(); },
              [&] {
                TAboutBox *box = OpenBox();
                ASSERT_NE(box, nullptr);
                lines = box->InfoMemo()->Lines();
                text = box->InfoMemo()->Text();
                box->OkButton()->Click();
              });
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) joined += (i ? "\r\n" : "") + lines[i];
    EXPECT_EQ(text, joined);
    return lines;
  }

  std::string realExe_;
  std::unique_ptr<TForm> owner_;
  std::unique_ptr<TInfoVersion> info_;
  std::string infoAdd_;
  TAboutBox::TShellExecuteProc savedShell_ = nullptr;
};

// --- Size and layout ----------------------------------------------------------------------------

TEST_F(About, OurVersionBlockGivesTheMailLineOnly) {
  ASSERT_EQ(info_->GetInfo(eMail), "tavelin@fenwright.example");
  ASSERT_EQ(info_->GetInfo(URL), InfoNotRegistered);
  TAboutBox box(owner_.get(), info_.get());
  box.CreateHandle();
  int t = MeasureText("arial", -21, true, true, Application.Title());
  int r = MeasureText("arial", -11, false, false, "Réalisation: " + info_->GetInfo(CompanyName));
  int w = std::max({250, t + 90, r + 18});
  EXPECT_EQ(box.ClientWidth(), w);
  EXPECT_EQ(box.ClientHeight(), 208);
  EXPECT_EQ(box.Caption(), "A propos...");
  EXPECT_TRUE(GetWindowLongA(box.Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(GetWindowLongA(box.Handle(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT wr;
  GetWindowRect(box.Handle(), &wr);
  EXPECT_NEAR((wr.left + wr.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((wr.top + wr.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  ASSERT_NE(box.MailLabel(), nullptr);
  EXPECT_EQ(box.WebLabel(), nullptr);
  TLabel &mail = *box.MailLabel();
  EXPECT_EQ(mail.Caption, "tavelin@fenwright.example");
  EXPECT_EQ(mail.Left(), 40);
  EXPECT_EQ(mail.Top(), 96);
  EXPECT_EQ(mail.Width(), MeasureText("arial", -11, false, false, mail.Caption));
  EXPECT_EQ(mail.Font.Color, RGB(0, 0, 255));
  EXPECT_EQ(mail.Hint(), "Contacter l'auteur");
  EXPECT_NE(Application.Cursor(TAboutBox::MailCursorId), nullptr);
  EXPECT_EQ(mail.Cursor, Application.Cursor(TAboutBox::MailCursorId));
  EXPECT_EQ(Application.Cursor(51), LoadCursorA(Application.Instance(), "CRMAIL"));

  EXPECT_EQ(PlaceIn(box, *box.InfoMemo()), (std::vector<int>{0, 208 - 90, w, 60}));
  EXPECT_EQ(PlaceIn(box, *box.OkButton()), (std::vector<int>{w - 76, 208 - 26, 75, 25}));
  EXPECT_EQ(box.OkButton()->Text(), "&Ok");
  EXPECT_EQ(box.CancelButton, box.OkButton());
  EXPECT_TRUE(GetWindowLongA(box.InfoMemo()->Handle(), GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongA(box.InfoMemo()->Handle(), GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(box.Font, TAboutBox::TextFont());
  EXPECT_EQ(box.TextFont().Height, -11);
  EXPECT_EQ(box.TitleFont().Height, -21);
  EXPECT_EQ(box.VersionFont().Height, -19);
}

TEST_F(About, NeitherLinkGives192AndTheMemoFrom102To162) {
  info_->VersionStrings[eMail] = InfoNotRegistered;
  TAboutBox box(owner_.get(), info_.get());
  box.CreateHandle();
  EXPECT_EQ(box.ClientHeight(), 192);
  EXPECT_EQ(box.MailLabel(), nullptr);
  EXPECT_EQ(box.WebLabel(), nullptr);
  std::vector<int> memo = PlaceIn(box, *box.InfoMemo()), ok = PlaceIn(box, *box.OkButton());
  EXPECT_EQ(memo[1], 102);
  EXPECT_EQ(memo[1] + memo[3], 162);
  EXPECT_EQ(ok[1], 166);
  EXPECT_EQ(ok[1] + ok[3], 191);
}

TEST_F(About, BothLinksGive224) {
  info_->VersionStrings[URL] = "http://www.fenwright.example/tavelin";
  TAboutBox box(owner_.get(), info_.get());
  box.CreateHandle();
  EXPECT_EQ(box.ClientHeight(), 224);
  ASSERT_NE(box.WebLabel(), nullptr);
  EXPECT_EQ(box.WebLabel()->Left(), 40);
  EXPECT_EQ(box.WebLabel()->Top(), 112);
  EXPECT_EQ(box.WebLabel()->Hint(), "Site de l'auteur");
  EXPECT_EQ(box.WebLabel()->Cursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
  EXPECT_EQ(PlaceIn(box, *box.InfoMemo())[1], 224 - 90);
}

TEST_F(About, AWideTitleWidensTheBoxAndAShortOneLeaves250) {
  Application.SetExeNameForTests("C:\\Programmes\\Chronometre geant de la salle.exe");
  int t = MeasureText("arial", -21, true, true, Application.Title());
  ASSERT_GT(t + 90, 250);
  {
    TAboutBox box(owner_.get(), info_.get());
    box.CreateHandle();
    EXPECT_EQ(box.ClientWidth(), t + 90);
    EXPECT_EQ(PlaceIn(box, *box.InfoMemo())[2], t + 90);
  }
  Application.SetExeNameForTests("C:\\Programmes\\Tav.exe");
  TAboutBox box(owner_.get(), info_.get());
  box.CreateHandle();
  EXPECT_EQ(box.ClientWidth(), 250);
}

// --- What is painted ------------------------------------------------------------------------------

TEST_F(About, PaintsIconTitleVersionAuthorAndTheMailCaption) {
  WhileOpen([this] { info_->ShowAbout(); }, [&] {
    TAboutBox *box = OpenBox();
    ASSERT_NE(box, nullptr);
    RedrawWindow(box->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Capture shot(box->Handle());
    COLORREF face = GetSysColor(COLOR_BTNFACE), ink = GetSysColor(COLOR_WINDOWTEXT);
    BITMAP bm{};
    ASSERT_NE(box->IconPicture(), nullptr);
    GetObjectA(box->IconPicture(), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 2 * GetSystemMetrics(SM_CXICON));
    // The icon, twice its size, from (8, 8).
    EXPECT_GT(shot.NotCount(RECT{8, 8, 8 + bm.bmWidth, 8 + bm.bmHeight}, face), 100);
    int t = MeasureText("arial", -21, true, true, Application.Title());
    EXPECT_GT(shot.Count(RECT{80, 8, 80 + t, 8 + 24}, ink), 20);
    EXPECT_GT(shot.Count(RECT{80, 40, 200, 40 + 22}, ink), 20);   // version line
    EXPECT_GT(shot.Count(RECT{8, 80, 100, 80 + 13}, ink), 10);    // author line
    EXPECT_GT(shot.Count(RECT{8, 96, 38, 96 + 13}, ink), 5);      // "eMail:"
    EXPECT_GT(shot.Count(RECT{40, 96, 120, 96 + 13}, RGB(0, 0, 255)), 5);
    // No web entry: nothing at (8, 112).
    EXPECT_EQ(shot.NotCount(RECT{8, 112, 38, 112 + 5}, face), 0);
    box->OkButton()->Click();
  });
}

// --- The memo ---------------------------------------------------------------------------------

TEST_F(About, MemoWithoutInfoAddShowsDescriptionNotesAndHost) {
  std::vector<std::string> expected = {"Description:", info_->GetInfo(Comments), "",
                                       "Note:", "", "Mon adresse:", "Fenwright", ""};
  for (const auto &l : ExpectedHostLines()) expected.push_back(l);
  EXPECT_EQ(MemoWhenShown(), expected);
}

TEST_F(About, MemoWithInfoAddAndAServicePack) {
  WriteFileText(infoAdd_, "Salle 12\r\nPoste du professeur\r\n");
  info_->InfoOS->PlatformId = 2;
  info_->InfoOS->CSDVersion = "Service Pack 3";
  info_->InfoOS->MajorVersion = 5;
  info_->InfoOS->MinorVersion = 1;
  info_->InfoOS->BuildNumber = 2600;
  EXPECT_EQ(MemoWhenShown(),
            (std::vector<std::string>{"Description:", info_->GetInfo(Comments), "",
                                      "Informations additionnelles:", "Salle 12",
                                      "Poste du professeur", "", "Note:", "", "Mon adresse:",
                                      "Fenwright", "", "Système hôte:",
                                      "OS: Windows NT (Service Pack 3).",
                                      "Version: 5.01 construction: 2600."}));
}

TEST_F(About, AnEmptyInfoAddAndNoNotesAddNoHeading) {
  WriteFileText(infoAdd_, "");
  info_->NoteLines.clear();
  info_->InfoOS->CSDVersion = "";
  info_->InfoOS->PlatformId = 3;
  std::vector<std::string> lines = MemoWhenShown();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Système hôte:");
  EXPECT_EQ(lines[4], "OS: Indéterminé.");
}

TEST_F(About, TheDefaultInfoAddIsBesideTheExecutable) {
  Application.SetExeNameForTests("C:\\Program Files\\Tavelin\\Tavelin.exe");
  EXPECT_EQ(TAboutBox::DefaultInfoAddPath(), "C:\\Program Files\\Tavelin\\info.add");
}

TEST_F(About, AnUnreadableInfoAddStopsBeforeTheBoxShowsAndLeavesNothing) {
  // A first box makes the fonts the box uses, which live for the program's life.
  WhileOpen([this] { info_->ShowAbout(); }, [] { OpenBox()->OkButton()->Click(); });
  Pump(30);
  long before = gdi::LiveObjects();
  WriteFileText(infoAdd_, "verrouillé\r\n");
  HANDLE lock = CreateFileA(infoAdd_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::string error;
  try {
    info_->ShowAbout();
  } catch (const ETavelinError &e) {
    error = e.what();
  }
  CloseHandle(lock);
  EXPECT_EQ(error, "Impossible de lire le fichier \"" + infoAdd_ + "\".");
  EXPECT_EQ(FindWindowA(nullptr, "A propos..."), nullptr);
  EXPECT_EQ(TAboutBox::Instances(), 0);
  EXPECT_TRUE(IsWindowEnabled(owner_->Handle()));
  Pump(30);
  EXPECT_EQ(gdi::LiveObjects(), before);
}

// --- Links -------------------------------------------------------------------------------------

void ClickLabel(TAboutBox &box, TLabel &label) {
  LPARAM at = MAKELPARAM(label.Left() + 2, label.Top() + 2);
  SendMessageA(box.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(box.Handle(), WM_LBUTTONUP, 0, at);
}

TEST_F(About, TheMailLinkGoesToTheShellUnescaped) {
  Application.SetExeNameForTests("C:\\Mes programmes\\Mon chrono.exe");
  info_->VersionStrings[eMail] = "jean dupont@exemple.fr";
  info_->VersionStrings[FileVersion] = "1 2.0.0.1";
  info_->VersionStrings[ProductVersion] = "1.0 bêta";
  MessageBoxWatcher boxes;
  WhileOpen([this] { info_->ShowAbout(); }, [&] {
    TAboutBox *box = OpenBox();
    ASSERT_NE(box, nullptr);
    ClickLabel(*box, *box->MailLabel());
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].file,
              "mailto:jean dupont@exemple.fr?Subject=(Mon chrono Version 1 2.0)&Body=Information "
              "concernant le programme (Ne pas effacer): [ExeName:Mon chrono.exe]/"
              "[FileVersion:1 2.0.0.1]/[ProductVersion:1.0 bêta]");
    EXPECT_EQ(shellCalls[0].operation, "open");
    EXPECT_EQ(shellCalls[0].parent, GetDesktopWindow());
    EXPECT_TRUE(shellCalls[0].noParameters);
    EXPECT_TRUE(shellCalls[0].noDirectory);
    EXPECT_EQ(shellCalls[0].show, SW_SHOWNORMAL);
    EXPECT_FALSE(Application.Busy());
    Pump(100);
    EXPECT_TRUE(boxes.Boxes().empty());
    box->OkButton()->Click();
  });
}

TEST_F(About, AShellFailureIsReportedAndTheBoxStaysOpen) {
  MessageBoxWatcher boxes;
  WhileOpen([this] { info_->ShowAbout(); }, [&] {
    TAboutBox *box = OpenBox();
    ASSERT_NE(box, nullptr);
    shellResult = 32;
    ClickLabel(*box, *box->MailLabel());
    EXPECT_EQ(shellCalls.size(), 1u);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Avertissement");
    EXPECT_EQ(boxes.Boxes()[0].text, "Erreur lors de l'essai d 'envoie du Mail");
    EXPECT_TRUE(IsWindowVisible(box->Handle()));
    EXPECT_EQ(box->ModalResult, mrNone);
    // One above the limit is a success.
    shellResult = 33;
    ClickLabel(*box, *box->MailLabel());
    EXPECT_EQ(shellCalls.size(), 2u);
    Pump(100);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    box->OkButton()->Click();
  });
}

TEST_F(About, TheWebLinkRaisesItsErrorAndTheBoxStaysOpen) {
  info_->VersionStrings[URL] = "http://www.fenwright.example/";
  ExceptionCatcher errors;
  WhileOpen([this] { info_->ShowAbout(); }, [&] {
    TAboutBox *box = OpenBox();
    ASSERT_NE(box, nullptr);
    ClickLabel(*box, *box->WebLabel());
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0],
              "uConfigAbstract.TAboutBox.ShowURL: Fonction non Implémenté (Version sup)");
    EXPECT_TRUE(IsWindowVisible(box->Handle()));
    EXPECT_TRUE(shellCalls.empty());
    box->OkButton()->Click();
  });
}

// --- Life of the box -----------------------------------------------------------------------------

TEST_F(About, OpeningTwiceGivesTheSameSizeAndTheBoxFreesItselfEachTime) {
  struct Seen {
    int w = 0, h = 0;
    HWND wnd = nullptr;
    TAboutBox *box = nullptr;
    bool ownerEnabled = true, hadIcon = false;
  };
  std::vector<long> live;
  std::vector<std::pair<int, int>> sizes;
  for (int round = 0; round < 3; ++round) {
    Seen seen;
    WhileOpen([this] { info_->ShowAbout(); }, [&] {
      seen.box = OpenBox();
      ASSERT_NE(seen.box, nullptr);
      EXPECT_EQ(TAboutBox::Instances(), 1);
      seen.w = seen.box->ClientWidth();
      seen.h = seen.box->ClientHeight();
      seen.wnd = seen.box->Handle();
      seen.ownerEnabled = IsWindowEnabled(owner_->Handle());
      seen.hadIcon = seen.box->IconPicture() != nullptr && seen.box->InfoSource() == info_.get();
      // The memo passes the focus on to the OK button.
      seen.box->InfoMemo()->SetFocus();
      Pump(20);
      EXPECT_EQ(GetFocus(), seen.box->OkButton()->Handle());
      if (round == 0) PressKey(seen.wnd, VK_ESCAPE);
      else if (round == 1) SendMessageA(seen.wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      else seen.box->OkButton()->Click();
    });
    // ShowAbout has released the icon and the information source; the window goes once the
    // message loop runs again.
    ASSERT_NE(seen.box, nullptr);
    EXPECT_TRUE(IsWindow(seen.wnd));
    EXPECT_EQ(seen.box->IconPicture(), nullptr);
    EXPECT_EQ(seen.box->InfoSource(), nullptr);
    EXPECT_TRUE(seen.hadIcon);
    EXPECT_FALSE(seen.ownerEnabled);
    Pump(50);
    EXPECT_FALSE(IsWindow(seen.wnd));
    EXPECT_EQ(TAboutBox::Instances(), 0);
    EXPECT_TRUE(IsWindowEnabled(owner_->Handle()));
    sizes.emplace_back(seen.w, seen.h);
    live.push_back(gdi::LiveObjects());
  }
  EXPECT_GE(sizes[0].first, 250);
  EXPECT_EQ(sizes[0].second, 208);
  EXPECT_EQ(sizes[1], sizes[0]);
  EXPECT_EQ(sizes[2], sizes[0]);
  // Nothing of a box outlives it.
  EXPECT_EQ(live[1], live[0]);
  EXPECT_EQ(live[2], live[0]);
}

}  // namespace
