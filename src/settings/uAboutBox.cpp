#include <windows.h>

#include "settings/uAboutBox.h"

#include <shellapi.h>

#include "base/uScale.h"
#include "forms/uApplication.h"
#include "forms/uSystemLib.h"
#include "settings/uAboutText.h"
#include "settings/uConfigAbstract.h"

TAboutBox::TShellExecuteProc TAboutBox::ShellExecuteProc = &ShellExecuteA;
std::function<std::string()> TAboutBox::InfoAddPath = &TAboutBox::DefaultInfoAddPath;

namespace {

// The hourglass from before the blank form is loaded until the box is built.
TForm *BeginBusyFor(TForm *owner) {
  Application.BeginBusy();
  return owner;
}

int TextWidth(const TFontDesc &font, const std::string &text) {
  gdi::WindowDC screen(nullptr);
  gdi::Select select(screen.dc(), FontHandle(font));
  SIZE size{0, 0};
  GetTextExtentPoint32A(screen.dc(), text.c_str(), int(text.size()), &size);
  return size.cx;
}

bool IsRegularFile(const std::string &path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class FileHandle {
public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  FileHandle(const FileHandle &) = delete;
  FileHandle &operator=(const FileHandle &) = delete;
  HANDLE get() const { return h_; }

private:
  HANDLE h_;
};

}  // namespace

TFontDesc TAboutBox::TitleFont() {
  return TFontDesc{"arial", gdi::PointsToHeight(16), true, true, clWindowText};
}
TFontDesc TAboutBox::VersionFont() {
  return TFontDesc{"arial", gdi::PointsToHeight(14), false, true, clWindowText};
}
TFontDesc TAboutBox::TextFont() {
  return TFontDesc{"arial", gdi::PointsToHeight(8), false, false, clWindowText};
}

TFontDesc TAboutBox::ScaledFont(TFontDesc font) const {
  font.Height = Scaled(font.Height);
  return font;
}

std::string TAboutBox::DefaultInfoAddPath() {
  const std::string &exe = Application.ExeName();
  size_t slash = exe.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : exe.substr(0, slash + 1)) + "info.add";
}

TAboutBox::TAboutBox(TForm *owner, TInfoVersion *info) try
    : TSingleForm(BeginBusyFor(owner)), info_(info) {
  Application.SetCursor(MailCursorId, LoadCursorA(Application.Instance(), "CRMAIL"));

  Centered = true;
  BorderStyle = TBorderStyle::Dialog;
  SystemMenu = true;
  MinimizeBox = false;
  MaximizeBox = false;
  SetCaption("A propos...");
  Color = clBtnFace;
  ShowHint = true;
  OnClose = [](TForm *, TCloseAction &action) { action = caFree; };

  // The box is laid out for a 96-DPI screen and scaled; the texts are measured in the fonts
  // they are painted in, and their widths taken back to 96-DPI units rounded up, so that they fit.
  auto designWidth = [this](const TFontDesc &font, const std::string &text) {
    int w = TextWidth(ScaledFont(font), text);
    int back = UnscaleLength(w, Dpi());
    return ScaleLength(back, Dpi()) < w ? back + 1 : back;
  };
  Font = ScaledFont(TitleFont());
  int titleWidth = designWidth(TitleFont(), Application.Title());
  Font = ScaledFont(TextFont());
  int authorWidth = designWidth(TextFont(), AboutAuthorLine(info_->GetInfo(CompanyName)));
  TAboutSize size = AboutBoxSize(titleWidth, authorWidth, Present(eMail), Present(URL));

  TFontDesc linkFont = Font;
  linkFont.Color = RGB(0, 0, 255);
  if (Present(eMail)) {
    mail_ = Add<TLabel>(this);
    mail_->Name = "LabelMail";
    mail_->Font = linkFont;
    mail_->ParentFont = false;
    mail_->SetLeftTop(Scaled(40), Scaled(96));
    mail_->SetHint("Contacter l'auteur");
    mail_->Cursor = Application.Cursor(MailCursorId);
    mail_->OnClick = [this](TControl *sender) { SendMail(sender); };
    mail_->SetCaption(info_->GetInfo(eMail));
  }
  if (Present(URL)) {
    web_ = Add<TLabel>(this);
    web_->Name = "LabelURL";
    web_->Font = linkFont;
    web_->ParentFont = false;
    web_->SetLeftTop(Scaled(40), Scaled(112));
    web_->SetHint("Site de l'auteur");
    web_->Cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    web_->OnClick = [this](TControl *sender) { ShowURL(sender); };
    web_->SetCaption(info_->GetInfo(URL));
  }

  memo_ = Add<TMemo>(this);
  memo_->Name = "MemoInfo";
  memo_->SpokenName = "Informations";
  memo_->SetBounds(0, Scaled(size.Height - 90), Scaled(size.Width), Scaled(60));
  memo_->Border = false;
  memo_->Color = clBtnFace;
  memo_->WordWrap = true;
  memo_->ReadOnly = true;
  memo_->Cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  memo_->OnEnter = [this](TControl *) { ok_->SetFocus(); };

  ok_ = Add<TButton>(this);
  ok_->Name = "BtnOk";
  ok_->SetBounds(Scaled(size.Width - 76), Scaled(size.Height - 26), Scaled(75), Scaled(25));
  ok_->SetText("&Ok");
  ok_->TabOrder = 0;
  ok_->Cancel = true;
  CancelButton = ok_;
  ok_->OnClick = [this](TControl *) { Close(); };

  SetClientSize(Scaled(size.Width), Scaled(size.Height));
  BuildIconPicture();
  Application.EndBusy();
} catch (...) {
  Application.EndBusy();
}

TAboutBox::~TAboutBox() = default;

bool TAboutBox::Present(uint8_t index) const { return info_->GetInfo(index) != InfoNotRegistered; }

// Twice the application icon, on the button face. Without it the box simply shows no icon.
void TAboutBox::BuildIconPicture() {
  try {
    HICON icon = Application.Icon();
    ICONINFO ii{};
    if (!icon || !GetIconInfo(icon, &ii)) throw ETavelinError("icône");
    gdi::Bitmap mask(ii.hbmMask), color(ii.hbmColor);
    BITMAP bm{};
    if (!GetObjectA(color ? color.get() : mask.get(), sizeof bm, &bm)) throw ETavelinError("icône");
    int w = bm.bmWidth, h = color ? bm.bmHeight : bm.bmHeight / 2;
    gdi::WindowDC screen(nullptr);
    if (Dpi() != DesignDpi) {
      // Drawn from the icon's own larger pictures, at twice the scaled icon size.
      int side = 2 * Scaled(32);
      HICON large = gdi::LoadSharedIcon(Application.Instance(), "MAINICON", side);
      if (!large) throw ETavelinError("icône");
      icon_ = gdi::MakeCompatibleBitmap(screen.dc(), side, side);
      gdi::BitmapDC picture(icon_.get());
      gdi::FillSolid(picture.dc(), RECT{0, 0, side, side}, ColorToRGB(clBtnFace));
      if (!DrawIconEx(picture.dc(), 0, 0, large, side, side, 0, nullptr, DI_NORMAL))
        throw ETavelinError("icône");
      return;
    }
    gdi::MemoryDC scratch(screen.dc(), w, h);
    gdi::FillSolid(scratch.dc(), RECT{0, 0, w, h}, ColorToRGB(clBtnFace));
    if (!DrawIconEx(scratch.dc(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL))
      throw ETavelinError("icône");
    icon_ = gdi::MakeCompatibleBitmap(screen.dc(), 2 * w, 2 * h);
    gdi::BitmapDC picture(icon_.get());
    SetStretchBltMode(picture.dc(), COLORONCOLOR);
    if (!StretchBlt(picture.dc(), 0, 0, 2 * w, 2 * h, scratch.dc(), 0, 0, w, h, SRCCOPY))
      throw ETavelinError("icône");
  } catch (const std::exception &) {
    icon_.Reset();
  }
}

void TAboutBox::ChangeDpi(int dpi, const RECT *suggested) {
  TSingleForm::ChangeDpi(dpi, suggested);
  if (icon_) BuildIconPicture();
}

void TAboutBox::ReleaseIcon() {
  info_ = nullptr;
  icon_.Reset();
}

void TAboutBox::Paint(HDC dc) {
  TSingleForm::Paint(dc);
  if (icon_) {
    BITMAP bm{};
    GetObjectA(icon_.get(), sizeof bm, &bm);
    gdi::BitmapDC picture(icon_.get());
    BitBlt(dc, Scaled(8), Scaled(8), bm.bmWidth, bm.bmHeight, picture.dc(), 0, 0, SRCCOPY);
  }
  if (!info_) return;
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, ColorToRGB(clBtnFace));
  SetTextColor(dc, ColorToRGB(clWindowText));
  auto text = [this, dc](int x, int y, const std::string &s) {
    TextOutA(dc, Scaled(x), Scaled(y), s.c_str(), int(s.size()));
  };
  {
    gdi::Select font(dc, FontHandle(ScaledFont(TitleFont())));
    text(80, 8, Application.Title());
  }
  {
    gdi::Select font(dc, FontHandle(ScaledFont(VersionFont())));
    text(80, 40, AboutVersionLine(info_->GetInfo(InfoMajor), info_->GetInfo(InfoMinor),
                                  info_->GetInfo(InfoRelease), info_->GetInfo(InfoBeta)));
  }
  gdi::Select font(dc, FontHandle(ScaledFont(TextFont())));
  text(8, 80, AboutAuthorLine(info_->GetInfo(CompanyName)));
  if (Present(eMail)) text(8, 96, "eMail:");
  if (Present(URL)) text(8, 112, "URL:");
}

LRESULT TAboutBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // The memo is for reading only: the arrow over it, not the text cursor.
  if (msg == WM_SETCURSOR && !Application.Busy() && memo_ && memo_->HandleAllocated() &&
      reinterpret_cast<HWND>(wParam) == memo_->Handle() && LOWORD(lParam) == HTCLIENT) {
    ::SetCursor(memo_->Cursor);
    return TRUE;
  }
  return TSingleForm::WndProc(msg, wParam, lParam);
}

std::vector<std::string> TAboutBox::ReadInfoAdd() const {
  std::string path = InfoAddPath ? InfoAddPath() : DefaultInfoAddPath();
  if (!IsRegularFile(path)) return {};
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string failure = FormatMessage1("Impossible de lire le fichier \"%s\".", path);
  if (file.get() == INVALID_HANDLE_VALUE) throw ETavelinError(failure);
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  do {
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) throw ETavelinError(failure);
    text.append(buffer, got);
  } while (got > 0);
  return SplitTextLines(text);
}

void TAboutBox::Execute(const std::vector<std::string> &noteLines) {
  TAboutMemoInfo memo;
  memo.Description = info_->GetInfo(Comments);
  memo.ExtraLines = ReadInfoAdd();
  memo.NoteLines = noteLines;
  const TInfoOS &os = *info_->InfoOS;
  memo.PlatformName = os.GetPlatformName();
  memo.CSDVersion = os.CSDVersion;
  memo.MajorText = os.GetMajorText();
  memo.MinorText = os.GetMinorText();
  memo.BuildNumber = os.BuildNumber;
  for (const std::string &line : AboutMemoLines(memo)) memo_->AddLine(line);
  memo_->Invalidate();
  ShowModal();
}

void TAboutBox::SendMail(TControl *) {
  THourglass busy;
  TAboutMailInfo mail;
  mail.Address = info_->GetInfo(eMail);
  mail.Title = Application.Title();
  mail.Major = info_->GetInfo(InfoMajor);
  mail.Minor = info_->GetInfo(InfoMinor);
  mail.Beta = info_->GetInfo(InfoBeta);
  mail.ExeFileName = ExeFileName(Application.ExeName());
  mail.FileVersion = info_->GetInfo(FileVersion);
  mail.ProductVersion = info_->GetInfo(ProductVersion);
  std::string link = AboutMailLink(mail);
  TComScope com;
  HINSTANCE result =
      ShellExecuteProc(GetDesktopWindow(), "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32)
    ShowMessageBox("Erreur lors de l'essai d 'envoie du Mail", "Avertissement",
                   MB_OK | MB_ICONWARNING);
}

void TAboutBox::ShowURL(TControl *) {
  throw ETavelinError("uConfigAbstract.TAboutBox.ShowURL: Fonction non Implémenté (Version sup)");
}

void TInfoVersion::ShowAbout() {
  auto *box = new TAboutBox(Application.MainForm(), this);
  try {
    box->Execute(NoteLines);
  } catch (...) {
    box->ReleaseIcon();
    // A box that never showed never closes, so it cannot free itself.
    delete box;
    throw;
  }
  box->ReleaseIcon();
}
