// Checks shared by the test programs that run on a scaled screen (a "// dpi: N" line): every form
// is its design times the scale, every caption fits, the glyphs are the pictures of the scale, and
// a move to a monitor of another scale scales the window again. The including file defines kDpi.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/uDisplayTables.h"
#include "display/uNavigChrono.h"
#include "forms/uDpi.h"
#include "options/uOptionsScreen.h"
#include "settings/uAboutBox.h"
#include "settings/uConfigAbstract.h"
#include "support_win.h"

namespace scaled {

using namespace testwin;

inline int S(int length, int dpi = kDpi) { return ScaleLength(length, dpi); }

inline SIZE ClientSize(HWND wnd) {
  RECT r;
  GetClientRect(wnd, &r);
  return SIZE{r.right, r.bottom};
}

// Within one pixel of the design's size times the scale.
inline void ExpectScaledClient(HWND wnd, int designW, int designH, int dpi, const char *what) {
  SIZE c = ClientSize(wnd);
  EXPECT_NEAR(c.cx, designW * dpi / 96.0, 1.0) << what;
  EXPECT_NEAR(c.cy, designH * dpi / 96.0, 1.0) << what;
}

inline int TextWidth(HFONT font, const std::string &text) {
  gdi::WindowDC screen(nullptr);
  gdi::Select sel(screen.dc(), font);
  SIZE e{0, 0};
  GetTextExtentPoint32A(screen.dc(), text.c_str(), int(text.size()), &e);
  return e.cx;
}

// Without the "&" that marks a shortcut letter.
inline std::string Shown(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&')) out += text[i];
  return out;
}

inline HFONT WindowFont(const TWinControl &c) {
  return reinterpret_cast<HFONT>(SendMessageA(c.Handle(), WM_GETFONT, 0, 0));
}

// Every caption of the form that reads wider than the room its control gives it, as
// "Name: text width > room".
inline std::vector<std::string> CaptionsThatDoNotFit(TForm &form) {
  const int dpi = form.Dpi();
  std::vector<std::string> bad;
  auto check = [&](const TControl &c, const std::string &text, HFONT font, int room) {
    if (text.empty()) return;
    int w = TextWidth(font, Shown(text));
    if (w > room)
      bad.push_back(c.Name + ": \"" + text + "\" " + std::to_string(w) + " > " +
                    std::to_string(room));
  };
  std::function<void(TWinControl &)> walk = [&](TWinControl &parent) {
    for (TControl *c : parent.Children()) {
      if (auto *label = dynamic_cast<TLabel *>(c)) {
        check(*label, label->Caption, FontHandle(label->EffectiveFont()), label->Width());
      } else if (auto *radio = dynamic_cast<TRadioButton *>(c)) {
        // The round box and the gap after it.
        check(*radio, radio->Text(), WindowFont(*radio), radio->Width() - S(16, dpi));
      } else if (auto *button = dynamic_cast<TButton *>(c)) {
        int glyph = 0;
        if (button->HasGlyph()) {
          BITMAP bm{};
          GetObjectA(button->Glyph(), sizeof bm, &bm);
          glyph = bm.bmWidth + S(4, dpi);
        }
        check(*button, button->Caption(), WindowFont(*button), button->Width() - glyph - S(4, dpi));
      } else if (auto *group = dynamic_cast<TGroupBox *>(c)) {
        check(*group, group->Text(), WindowFont(*group), group->Width() - 2 * S(8, dpi));
        walk(*group);
      } else if (auto *panel = dynamic_cast<TPanel *>(c)) {
        if (panel->ShowCaption)
          check(*panel, panel->Caption(), WindowFont(*panel),
                panel->Width() - 2 * panel->BorderWidth());
        walk(*panel);
      } else if (auto *combo = dynamic_cast<TComboBox *>(c)) {
        for (int i = 0; i < combo->ItemCount(); ++i)
          check(*combo, combo->ItemText(i), WindowFont(*combo),
                combo->Width() - GetSystemMetrics(SM_CXVSCROLL) - S(4, dpi));
      } else if (auto *win = dynamic_cast<TWinControl *>(c)) {
        walk(*win);
      }
    }
  };
  walk(form);
  return bad;
}

// The pixels of a bitmap, top row first.
inline std::vector<uint32_t> Pixels(HBITMAP bitmap, int &w, int &h) {
  BITMAP bm{};
  GetObjectA(bitmap, sizeof bm, &bm);
  w = bm.bmWidth;
  h = bm.bmHeight;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> out(size_t(w) * size_t(h));
  gdi::WindowDC screen(nullptr);
  GetDIBits(screen.dc(), bitmap, 0, UINT(h), out.data(), &bi, DIB_RGB_COLORS);
  for (uint32_t &p : out) p &= 0xFFFFFF;
  return out;
}

// Whether a button shows, pixel for pixel, the picture of that resource name.
inline bool SamePicture(HBITMAP shown, const std::string &resource) {
  gdi::Bitmap expected = gdi::LoadBitmapResource(Application.Instance(), resource.c_str());
  if (!expected || !shown) return false;
  int w1, h1, w2, h2;
  std::vector<uint32_t> a = Pixels(shown, w1, h1), b = Pixels(expected.get(), w2, h2);
  return w1 == w2 && h1 == h2 && a == b;
}

// The picture scale's name suffix for the DPI: "", "_150" or "_200".
inline std::string Suffix(int dpi) {
  int p = PictureScale(dpi);
  return p == 100 ? "" : "_" + std::to_string(p);
}

class ScaledForms : public MainWindowTest {};

TEST_F(ScaledForms, EveryFormIsItsDesignTimesTheScale) {
  ASSERT_EQ(SystemDpi(), kDpi) << "the screen's scaling did not reach the program";
  EXPECT_EQ(main_->Dpi(), kDpi);
  ExpectScaledClient(main_->Handle(), 287, 273, kDpi, "main window");
  // A control of the design, and the panel that the beep button shortens in code.
  EXPECT_EQ(main_->Get<TButton>("BtnClose").Width(), S(101));
  EXPECT_EQ(main_->Get<TPanel>("cfgpanel").Height(), S(110));
  Click(main_->Get<TButton>("BtnActivateBeep"));
  EXPECT_EQ(main_->Get<TPanel>("cfgpanel").Height(), S(158));

  MessageBoxWatcher boxes;
  TOptionsScreen options(main_.get());
  options.CreateHandle();
  EXPECT_EQ(options.Dpi(), kDpi);
  ExpectScaledClient(options.Handle(), 287, 112, kDpi, "options");
  // Under the main window by the main window's width, and 4 pixels of a 96-DPI screen.
  EXPECT_EQ(options.Top(), main_->Top() + main_->Width() + S(4));

  TInfoVersion info(nullptr);
  TAboutBox about(main_.get(), &info);
  about.CreateHandle();
  // Our version block has a mail address and no web site: 250 x 208 on a 96-DPI screen.
  ExpectScaledClient(about.Handle(), 250, 208, kDpi, "about box");
  ASSERT_NE(about.IconPicture(), nullptr);
  BITMAP icon{};
  GetObjectA(about.IconPicture(), sizeof icon, &icon);
  EXPECT_EQ(icon.bmWidth, 2 * S(32)) << "twice the icon, at the scale";

  bool checked = false;
  Later(150, [&] {
    auto *bar = dynamic_cast<TNavigChrono *>(Application.ActiveForm());
    ASSERT_NE(bar, nullptr);
    ExpectScaledClient(bar->Handle(), 346, 38, kDpi, "control bar");
    EXPECT_EQ(bar->Get<TButton>("BtnPause").Left(), S(40));
    EXPECT_EQ(CaptionsThatDoNotFit(*bar), std::vector<std::string>{});
    checked = true;
    bar->Close();
  });
  Click(main_->Get<TButton>("BtnShowChrono"));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ScaledForms, EveryCaptionFits) {
  Click(main_->Get<TButton>("BtnActivateBeep"));  // the beep box shows too
  EXPECT_EQ(CaptionsThatDoNotFit(*main_), std::vector<std::string>{});
  MessageBoxWatcher boxes;
  TOptionsScreen options(main_.get());
  options.CreateHandle();
  EXPECT_EQ(CaptionsThatDoNotFit(options), std::vector<std::string>{});
  TInfoVersion info(nullptr);
  TAboutBox about(main_.get(), &info);
  about.CreateHandle();
  EXPECT_EQ(CaptionsThatDoNotFit(about), std::vector<std::string>{});
  // The painted lines of the box: the title and the author's line within its width.
  int title = TextWidth(FontHandle(about.ScaledFont(TAboutBox::TitleFont())), Application.Title());
  EXPECT_LE(S(80) + title, about.ClientWidth());
}

TEST_F(ScaledForms, TheGlyphsAreThePicturesOfTheScale) {
  const std::string suffix = Suffix(kDpi);
  EXPECT_TRUE(SamePicture(main_->Get<TButton>("BtnShowChrono").Glyph(), "GLYPH_CHRONO" + suffix));
  EXPECT_TRUE(SamePicture(main_->Get<TButton>("BtnClose").Glyph(), "GLYPH_EXIT" + suffix));
  EXPECT_TRUE(SamePicture(main_->Get<TButton>("BtnActivateBeep").Glyph(), "GLYPH_BEEP24" + suffix));
  MessageBoxWatcher boxes;
  TOptionsScreen options(main_.get());
  EXPECT_TRUE(SamePicture(options.Get<TButton>("BitBtn1").Glyph(), "GLYPH_OK" + suffix));
  // The banner fills its picture control.
  auto &banner = main_->Get<TImage>("Image1");
  BITMAP bm{};
  GetObjectA(banner.Bitmap(), sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, banner.Width());
  EXPECT_EQ(bm.bmHeight, banner.Height());
  EXPECT_EQ(banner.Width(), S(205));
}

// Every control's place, size and font height, by name.
inline std::vector<std::string> Geometry(const TWinControl &parent) {
  std::vector<std::string> all;
  for (const TControl *c : parent.Children()) {
    all.push_back(c->Name + " " + std::to_string(c->Left()) + "," + std::to_string(c->Top()) +
                  " " + std::to_string(c->Width()) + "x" + std::to_string(c->Height()) +
                  " font " + std::to_string(c->EffectiveFont().Height));
    if (auto *w = dynamic_cast<const TWinControl *>(c)) {
      std::vector<std::string> inner = Geometry(*w);
      all.insert(all.end(), inner.begin(), inner.end());
    }
  }
  return all;
}

// The system tells a window that it is now on a monitor of another scale (Wine gives every
// monitor the same one, so the message is sent as the system would).
TEST_F(ScaledForms, AMoveToAnotherScaleScalesTheWindowAgain) {
  const int other = kDpi == 192 ? 120 : 192;
  auto &close = main_->Get<TButton>("BtnClose");
  HFONT before = WindowFont(close);
  const std::vector<std::string> atStart = Geometry(*main_);
  const SIZE clientAtStart = ClientSize(main_->Handle());
  RECT r{0, 0, S(287, other), S(273, other)};
  AdjustWindowRectForDpi(r, DWORD(GetWindowLongA(main_->Handle(), GWL_STYLE)),
                         DWORD(GetWindowLongA(main_->Handle(), GWL_EXSTYLE)), other);
  OffsetRect(&r, 40 - r.left, 30 - r.top);
  SendMessageA(main_->Handle(), WM_DPICHANGED, MAKEWPARAM(other, other), LPARAM(&r));
  Pump(30);
  RECT now;
  GetWindowRect(main_->Handle(), &now);
  EXPECT_EQ(now.left, 40) << "the suggested rectangle is taken";
  EXPECT_EQ(now.top, 30);
  EXPECT_EQ(main_->Dpi(), other);
  ExpectScaledClient(main_->Handle(), 287, 273, other, "main window after the move");
  EXPECT_NEAR(close.Width(), 101 * other / 96.0, 1.0);
  RECT cr;
  GetWindowRect(close.Handle(), &cr);
  EXPECT_NEAR(cr.right - cr.left, 101 * other / 96.0, 1.0) << "the child window moved too";
  EXPECT_NE(WindowFont(close), before);
  LOGFONTA lf{};
  GetObjectA(WindowFont(close), sizeof lf, &lf);
  EXPECT_NEAR(lf.lfHeight, -11 * other / 96.0, 1.0);
  EXPECT_TRUE(SamePicture(close.Glyph(), "GLYPH_EXIT" + Suffix(other)));
  EXPECT_EQ(CaptionsThatDoNotFit(*main_), std::vector<std::string>{});

  // The about box draws its icon again, twice the icon at the new scale.
  TInfoVersion info(nullptr);
  TAboutBox about(main_.get(), &info);
  about.CreateHandle();
  SendMessageA(about.Handle(), WM_DPICHANGED, MAKEWPARAM(other, other), 0);
  ExpectScaledClient(about.Handle(), 250, 208, other, "about box after the move");
  BITMAP icon{};
  GetObjectA(about.IconPicture(), sizeof icon, &icon);
  EXPECT_EQ(icon.bmWidth, 2 * S(32, other));

  // And back by a third scale: the sizes of the start again, to the pixel.
  SendMessageA(main_->Handle(), WM_DPICHANGED, MAKEWPARAM(168, 168), 0);
  SendMessageA(main_->Handle(), WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi), 0);
  EXPECT_EQ(main_->Dpi(), kDpi);
  EXPECT_EQ(close.Width(), S(101));
  EXPECT_EQ(Geometry(*main_), atStart);
  EXPECT_EQ(ClientSize(main_->Handle()).cx, clientAtStart.cx);
  EXPECT_EQ(ClientSize(main_->Handle()).cy, clientAtStart.cy);
  EXPECT_TRUE(SamePicture(close.Glyph(), "GLYPH_EXIT" + Suffix(kDpi)));
}

// The bar moved to a monitor of another scale in the middle of a run: it is scaled again, the
// display (in physical pixels) stays as it is, and the count goes on.
TEST_F(ScaledForms, TheBarScalesAgainAndTheRunGoesOn) {
  const int other = kDpi == 192 ? 120 : 192;
  AppConfig->TotalTime->SetTotalSeconds(3600);
  AppConfig->SetTypeInc(1);
  AppConfig->SetBeepActive(false);
  auto bar = [] { return dynamic_cast<TNavigChrono *>(Application.ActiveForm()); };
  auto shown = [](TNavigChrono &b) {
    std::string s;
    for (int p = 0; p < 6; ++p) s += char('0' + b.WatchChrono().Digit(p).CurrentNumber());
    return s;
  };
  SoundRecorder quiet;
  Scenario s;
  s.Then(150, [&] {
     ASSERT_NE(bar(), nullptr);
     Click(bar()->Get<TButton>("BtnRun"));
   })
      .Then(10, [&] {
        TNavigChrono &b = *bar();
        EXPECT_TRUE(PumpUntil([&] { return shown(b) != "010000"; }, 5000));
        RECT watchBefore, watchAfter, r;
        GetWindowRect(b.WatchChrono().Handle(), &watchBefore);
        GetWindowRect(b.Handle(), &r);
        r.right = r.left + S(346, other) + 40;
        r.bottom = r.top + S(38, other) + 40;
        OffsetRect(&r, 30, 100);  // where the system would put it: off the display's foot
        SendMessageA(b.Handle(), WM_DPICHANGED, MAKEWPARAM(other, other), LPARAM(&r));
        ExpectScaledClient(b.Handle(), 346, 38, other, "control bar after the move");
        GetWindowRect(b.Handle(), &r);
        EXPECT_EQ(r.top, watchBefore.bottom) << "back under the display";
        EXPECT_EQ(r.left, watchBefore.left);
        auto &run = b.Get<TButton>("BtnRun");
        EXPECT_NEAR(run.Width(), 38 * other / 96.0, 1.0);
        EXPECT_TRUE(SamePicture(run.Glyph(), "GLYPH_RUN32" + Suffix(other)));
        EXPECT_EQ(CaptionsThatDoNotFit(b), std::vector<std::string>{});
        GetWindowRect(b.WatchChrono().Handle(), &watchAfter);
        EXPECT_TRUE(EqualRect(&watchBefore, &watchAfter));
        std::string before = shown(b);
        EXPECT_TRUE(PumpUntil([&] { return shown(b) != before; }, 5000)) << "the run goes on";
        EXPECT_FALSE(IsWindowEnabled(run.Handle()));
        b.Close();
      });
  s.Start();
  Click(main_->Get<TButton>("BtnShowChrono"));
  EXPECT_TRUE(s.Finished());
}

}  // namespace scaled
