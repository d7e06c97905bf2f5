#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "settings/uSingleForm.h"

class TInfoVersion;

// The "A propos..." box, built in code on the blank form: title, version and author painted, the
// mail and web links when the version block has them, and a memo of description, extra
// information, notes and host system. It frees itself when it closes.
class TAboutBox : public TSingleForm {
public:
  // owner: the form disabled while the box is shown; info: read, not owned.
  TAboutBox(TForm *owner, TInfoVersion *info);
  ~TAboutBox() override;

  // Fills the memo and shows the box modally; returns once it is closed. A file "info.add" that
  // exists but cannot be read raises its error before the box shows.
  virtual void Execute(const std::vector<std::string> &noteLines);
  // Forgets the information source and frees the icon picture.
  void ReleaseIcon();

  void SendMail(TControl *Sender);
  void ShowURL(TControl *Sender);

  TInfoVersion *InfoSource() const { return info_; }
  HBITMAP IconPicture() const { return icon_.get(); }
  TButton *OkButton() const { return ok_; }
  TLabel *MailLabel() const { return mail_; }
  TLabel *WebLabel() const { return web_; }
  TMemo *InfoMemo() const { return memo_; }

  static constexpr int MailCursorId = 51;
  // Boxes alive now: each frees itself when it closes, or is freed when it could not show.
  static int Instances() { return instances_; }

  // The shell (ShellExecuteA); tests put a recorder here.
  using TShellExecuteProc = HINSTANCE(WINAPI *)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  static TShellExecuteProc ShellExecuteProc;
  // Where "info.add" is looked for: beside the executable unless a test says otherwise.
  static std::function<std::string()> InfoAddPath;
  static std::string DefaultInfoAddPath();

  // The painted texts' fonts, all Arial.
  static TFontDesc TitleFont();    // 16 points, bold and italic
  static TFontDesc VersionFont();  // 14 points, italic
  static TFontDesc TextFont();     // 8 points
  // One of those fonts at the box's scale.
  TFontDesc ScaledFont(TFontDesc font) const;

  // The icon is drawn again for the new scale; texts and controls follow the form.
  void ChangeDpi(int dpi, const RECT *suggested) override;

protected:
  void Paint(HDC dc) override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
  bool Present(uint8_t index) const;
  void BuildIconPicture();
  std::vector<std::string> ReadInfoAdd() const;

  struct Counted {
    Counted() { ++instances_; }
    ~Counted() { --instances_; }
  } counted_;
  TInfoVersion *info_;
  gdi::Bitmap icon_;
  TButton *ok_ = nullptr;
  TLabel *mail_ = nullptr;
  TLabel *web_ = nullptr;
  TMemo *memo_ = nullptr;
  static inline int instances_ = 0;
};
