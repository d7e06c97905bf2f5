#include <windows.h>

#include "settings/uConfigAbstract.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "forms/uApplication.h"
#include "forms/uDpi.h"
#include "forms/uForms.h"

const char *const InfoKeyNames[13] = {
    "CompanyName",     "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
    "LegalTradeMarks", "OriginalFileName", "ProductName", "ProductVersion", "Comments",
    "BuildFlags",      "eMail",            "URL"};
const char *const InfoNotRegistered = "Info not registered";

// --- Host system and user ----------------------------------------------------------------------

TInfoOS::TInfoOS(TInfoVersion *owner) : Owner(owner) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
  if (GetVersionExA(&info)) {
    MajorVersion = info.dwMajorVersion;
    MinorVersion = info.dwMinorVersion;
    BuildNumber = info.dwBuildNumber;
    PlatformId = info.dwPlatformId;
    CSDVersion.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
  }
}

std::string TInfoOS::GetMajorText() const { return std::to_string(MajorVersion); }

std::string TInfoOS::GetMinorText() const {
  std::string s = std::to_string(MinorVersion);
  while (s.size() < 2) s = "0" + s;
  return s;
}

std::string TInfoOS::GetPlatformName() const {
  switch (PlatformId) {
    case 0: return "Windows 3.1";
    case 1: return "Windows 95";
    case 2: return "Windows NT";
    default: return "Indéterminé";
  }
}

TInfoUser::TInfoUser(TInfoVersion *owner) : Owner(owner) {
  char name[256] = {};
  DWORD size = 256;
  if (GetUserNameA(name, &size)) LoginName.assign(name, strnlen(name, sizeof name));
  TRegistryAccess reg(HKEY_CURRENT_USER);
  const char *setupKey = "SoftWare\\Microsoft\\MS SetUp (ACME)\\User Info";
  if (reg.KeyExists(setupKey) && reg.OpenKeyReadOnly(setupKey)) {
    RegisteredName = reg.ReadString("DefName");
    RegisteredCompany = reg.ReadString("DefCompagny");
  }
}

// --- Version block -----------------------------------------------------------------------------

TInfoVersion::TInfoVersion(TConfigAbstract *owner)
    : InfoOS(std::make_unique<TInfoOS>(this)),
      InfoUser(std::make_unique<TInfoUser>(this)),
      Owner(owner) {
  ReadVersionInfo(Application.ExeName());
}

void TInfoVersion::ReadVersionInfo(const std::string &exePath) {
  VersionStrings.clear();
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(exePath.c_str(), &ignored);
  std::vector<char> block(size);
  if (size > 0 && GetFileVersionInfoA(exePath.c_str(), 0, size, block.data())) {
    std::string language;
    void *value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
      auto *words = static_cast<const WORD *>(value);
      char text[9];
      std::snprintf(text, sizeof text, "%04X%04X", words[0], words[1]);
      language = text;
    }
    for (const char *key : InfoKeyNames) {
      std::string path = "\\StringFileInfo\\" + language + "\\" + key;
      char *text = nullptr;
      length = 0;
      if (!language.empty() &&
          VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void **>(&text), &length) &&
          length > 0 && text)
        VersionStrings.emplace_back(text, strnlen(text, length));
      else
        VersionStrings.emplace_back(InfoNotRegistered);
    }
  }
  // Without a readable block every caller still finds its thirteen entries.
  while (VersionStrings.size() < 13) VersionStrings.emplace_back(InfoNotRegistered);
}

std::string TInfoVersion::GetVersionPart(int part) const {
  return VersionPart(VersionStrings.at(FileVersion), part);
}

std::string TInfoVersion::GetInfo(uint8_t index) const {
  if (index <= URL) return VersionStrings.at(index);
  if (index >= InfoMajor && index <= InfoBuild) return GetVersionPart(index - InfoMajor + 1);
  if (index == InfoBeta) return Owner && Owner->BetaVersion ? "\xDF" : "";
  return {};
}

// --- Fields ------------------------------------------------------------------------------------

TConfigField::TConfigField(TConfigAbstract *owner, const TConfigFieldsRec &rec)
    : Name(rec.Name), FieldType(rec.FieldType), Data(rec.Data), Size(0), Default(rec.Default) {
  if (!owner) throw ETavelinError("Le parent DOIT ETRE un objet TConfigAbstract.");
  if (FieldType == TConfigFieldType::fdBinary) Size = rec.Size;
}

// --- Store -------------------------------------------------------------------------------------

namespace {
std::vector<TExamPaper> &PapersAt(void *data) { return *static_cast<std::vector<TExamPaper> *>(data); }
const std::vector<TExamPaper> &PapersAt(const void *data) {
  return *static_cast<const std::vector<TExamPaper> *>(data);
}
// A list's default is a list (an empty one unless its table says otherwise).
std::vector<TExamPaper> DefaultPapers(const TConfigField &f) {
  const auto *papers = std::get_if<std::vector<TExamPaper>>(&f.Default);
  return papers ? *papers : std::vector<TExamPaper>{};
}
}  // namespace

TConfigAbstract::TConfigAbstract(bool useVersionKey) : UseVersionKey(useVersionKey) {
  THourglass busy;
  InfoVersion = std::make_unique<TInfoVersion>(this);
  RegistryKey = std::string(BaseKeyPath) + "\\" + ExeBaseName(Application.ExeName());
  if (UseVersionKey) RegistryKey += "\\" + GetVersionKey();
  registry_ = std::make_unique<TRegistryAccess>(HKEY_CURRENT_USER);
}

TConfigAbstract::~TConfigAbstract() = default;

void TConfigAbstract::Construct() {
  THourglass busy;
  DefineFields();
  LoadSettings();
}

void TConfigAbstract::RegisterFields(const std::vector<TConfigFieldsRec> &table) {
  for (const TConfigFieldsRec &rec : table)
    if (!rec.Name.empty()) Fields.push_back(std::make_unique<TConfigField>(this, rec));
}

void TConfigAbstract::LoadSettings() {
  registry_->OpenKey(RegistryKey, true);
  TKeyScope close(*registry_);
  for (const auto &f : Fields) {
    try {
      if (!registry_->ValueExists(f->Name)) {
        switch (f->FieldType) {
          case TConfigFieldType::fdString: registry_->WriteString(f->Name, DefaultAsText(f->Default)); break;
          case TConfigFieldType::fdInteger: registry_->WriteInteger(f->Name, DefaultAsInteger(f->Default)); break;
          case TConfigFieldType::fdBoolean: registry_->WriteBool(f->Name, DefaultAsBoolean(f->Default)); break;
          case TConfigFieldType::fdBinary: registry_->WriteBinary(f->Name, f->Data, size_t(f->Size)); break;
          case TConfigFieldType::fdPaperList: registry_->WriteLines(f->Name, PaperLines(DefaultPapers(*f))); break;
          default: break;
        }
      }
      switch (f->FieldType) {
        case TConfigFieldType::fdString: *static_cast<std::string *>(f->Data) = registry_->ReadString(f->Name); break;
        case TConfigFieldType::fdInteger: *static_cast<int32_t *>(f->Data) = registry_->ReadInteger(f->Name); break;
        case TConfigFieldType::fdBoolean: *static_cast<bool *>(f->Data) = registry_->ReadBool(f->Name); break;
        case TConfigFieldType::fdBinary: registry_->ReadBinary(f->Name, f->Data, size_t(f->Size)); break;
        case TConfigFieldType::fdPaperList: {
          // The lines that read are kept: told once, whatever was left out.
          bool valid = true;
          PapersAt(f->Data) = ReadPaperLines(registry_->ReadLines(f->Name), valid);
          if (!valid) {
            Application.HandleException(InvalidDataType(f->Name));
            HealedOnLoad.push_back(f->Name);
          }
          break;
        }
        default: break;
      }
    } catch (const EInvalidDataType &e) {
      // Stopping here would stop every start, since nothing would ever rewrite the value: the
      // user is told, the field takes its default, and the next save writes it with its type.
      Application.HandleException(e);
      HealedOnLoad.push_back(f->Name);
      switch (f->FieldType) {
        case TConfigFieldType::fdString: *static_cast<std::string *>(f->Data) = DefaultAsText(f->Default); break;
        case TConfigFieldType::fdInteger: *static_cast<int32_t *>(f->Data) = DefaultAsInteger(f->Default); break;
        case TConfigFieldType::fdBoolean: *static_cast<bool *>(f->Data) = DefaultAsBoolean(f->Default); break;
        case TConfigFieldType::fdPaperList: PapersAt(f->Data) = DefaultPapers(*f); break;
        default: break;  // a block keeps the bytes it was given, as when it is first created
      }
    }
  }
}

void TConfigAbstract::SaveSettings() {
  THourglass busy;
  registry_->OpenKey(RegistryKey, true);
  TKeyScope close(*registry_);
  for (const auto &f : Fields) {
    const void *data = ValueToSave(*f);
    switch (f->FieldType) {
      case TConfigFieldType::fdString: registry_->WriteString(f->Name, *static_cast<const std::string *>(data)); break;
      case TConfigFieldType::fdInteger: registry_->WriteInteger(f->Name, *static_cast<const int32_t *>(data)); break;
      case TConfigFieldType::fdBoolean: registry_->WriteBool(f->Name, *static_cast<const bool *>(data)); break;
      case TConfigFieldType::fdBinary: registry_->WriteBinary(f->Name, data, size_t(f->Size)); break;
      case TConfigFieldType::fdPaperList: registry_->WriteLines(f->Name, PaperLines(PapersAt(data))); break;
      default: break;
    }
  }
}

TForm *TConfigAbstract::PlacementWindow(uint8_t kind, TForm *form, const char *who) const {
  TForm *window = kind == wkMainWindow ? Application.MainForm() : form;
  if (!window) throw ETavelinError(std::string("TConfigAbstract.") + who +
                                   ": Fenetre de destination à nil.");
  return window;
}

RECT WorkspaceToScreen(RECT placement, const MONITORINFO &monitor) {
  OffsetRect(&placement, monitor.rcWork.left - monitor.rcMonitor.left,
             monitor.rcWork.top - monitor.rcMonitor.top);
  return placement;
}

namespace {
// A top-level window's placement is given in work-area coordinates (unless it is a tool window):
// with the taskbar docked at the top or on the left they are off the screen's by the taskbar's
// size, and a record is read back in screen pixels.
RECT PlacementToScreen(HWND window, const RECT &placement) {
  if ((GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ||
      (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
    return placement;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info)) return placement;
  return WorkspaceToScreen(placement, info);
}
}  // namespace

void TConfigAbstract::SaveWindowSetting(uint8_t kind, TForm *form, int32_t index) {
  TForm *window = PlacementWindow(kind, form, "SaveWindowSetting");
  TWindowSettingRec rec;
  rec.Name = WindowSettingName(TWindowKind(kind), window->Name, index);
  RECT r{window->Left(), window->Top(), 0, 0};
  if (window->HandleAllocated()) {
    HWND h = window->Handle();
    if (IsIconic(h) || IsZoomed(h)) {
      // Only the placement knows the normal position of a minimised or maximised window.
      WINDOWPLACEMENT wp{};
      wp.length = sizeof wp;
      GetWindowPlacement(h, &wp);
      r = PlacementToScreen(h, wp.rcNormalPosition);
    } else {
      GetWindowRect(h, &r);
    }
    if (window->Resizable()) {
      rec.WindowState = IsIconic(h) ? 1 : IsZoomed(h) ? 2 : 0;
      if (rec.WindowState == 0) {
        rec.Height = r.bottom - r.top;
        rec.Width = r.right - r.left;
      }
    }
  }
  rec.Top = r.top;
  rec.Left = r.left;
  auto bytes = rec.Pack();
  registry_->OpenKey(RegistryKey, false);
  TKeyScope close(*registry_);
  registry_->WriteBinary(rec.Name, bytes.data(), bytes.size());
}

namespace {
struct MonitorSearch {
  RECT rect;
  bool found = false;
};

BOOL CALLBACK CheckMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto *s = reinterpret_cast<MonitorSearch *>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT overlap;
  if (GetMonitorInfoA(monitor, &info) && IntersectRect(&overlap, &info.rcWork, &s->rect))
    s->found = true;
  return !s->found;
}

// A window placed where no monitor's work area shows any of it could never be seen again.
bool VisibleOnSomeMonitor(const RECT &r) {
  MonitorSearch search{r};
  EnumDisplayMonitors(nullptr, nullptr, CheckMonitor, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info))
    reinterpret_cast<std::vector<TScreenRect> *>(data)->push_back(
        {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
  return TRUE;
}

std::vector<TScreenRect> WorkAreas() {
  std::vector<TScreenRect> areas;
  EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
  return areas;
}

// From the window's top edge to its caption's bottom: what must show to take it with the mouse.
int CaptionBandHeight(const TForm &window) {
  int band = 0;
  if (window.HandleAllocated()) {
    RECT frame{0, 0, 0, 0};
    HWND h = window.Handle();
    AdjustWindowRectForDpi(frame, DWORD(GetWindowLongA(h, GWL_STYLE)),
                           DWORD(GetWindowLongA(h, GWL_EXSTYLE)), window.Dpi());
    band = -frame.top;
  }
  return band > 0 ? band : GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME);
}
}  // namespace

void TConfigAbstract::LoadWindowSetting(uint8_t kind, TForm *form, int32_t index) {
  TForm *window = PlacementWindow(kind, form, "LoadWindowSetting");
  std::string name = WindowSettingName(TWindowKind(kind), window->Name, index);
  TWindowSettingRec rec;
  {
    if (!registry_->OpenKey(RegistryKey, false)) return;
    TKeyScope close(*registry_);
    if (!registry_->ValueExists(name)) return;
    uint8_t bytes[TWindowSettingRec::ByteSize] = {};
    size_t got = 0;
    try {
      got = registry_->ReadBinary(name, bytes, sizeof bytes);
    } catch (const EInvalidDataType &e) {
      // The window keeps its design position; the next save writes a true placement over this.
      Application.HandleException(e);
      return;
    }
    if (!TWindowSettingRec::Unpack(bytes, got, rec)) return;  // too short to be a placement
  }
  int width = window->Resizable() && rec.WindowState == 0 && rec.Width > 0 ? rec.Width : window->Width();
  int height = window->Resizable() && rec.WindowState == 0 && rec.Height > 0 ? rec.Height : window->Height();
  RECT target{rec.Left, rec.Top, rec.Left + width, rec.Top + height};
  if (!VisibleOnSomeMonitor(target)) return;
  // Back on a monitor of another scale, the window takes that scale before it shows: its size
  // and its caption's band are those of the new scale.
  if (int dpi = MonitorDpi(MonitorFromRect(&target, MONITOR_DEFAULTTONEAREST));
      dpi != window->Dpi()) {
    window->ChangeDpi(dpi, nullptr);
    if (!(window->Resizable() && rec.WindowState == 0 && rec.Width > 0)) width = window->Width();
    if (!(window->Resizable() && rec.WindowState == 0 && rec.Height > 0)) height = window->Height();
  }
  // Saved on a monitor that is gone, a window may only graze the screens of now.
  TScreenRect placed = PlaceOnScreen({rec.Left, rec.Top, rec.Left + width, rec.Top + height},
                                     CaptionBandHeight(*window), WorkAreas());
  window->SetBounds(placed.Left, placed.Top, placed.Right - placed.Left, placed.Bottom - placed.Top);
  if (window->HandleAllocated() && window->Resizable() && rec.WindowState != 0)
    ShowWindow(window->Handle(), rec.WindowState == 1 ? SW_MINIMIZE : SW_MAXIMIZE);
}

std::string TConfigAbstract::GetTitleText(uint8_t kind) const {
  std::string result;
  BuildTitleText(kind, Application.Title(), InfoVersion->GetInfo(InfoMajor),
                 InfoVersion->GetInfo(InfoMinor), InfoVersion->GetInfo(InfoBeta),
                 ExeBaseName(Application.ExeName()), result);
  return result;
}

std::string TConfigAbstract::GetVersionKey() const {
  return VersionKeyFrom(InfoVersion->GetInfo(ProductVersion), InfoVersion->GetInfo(InfoMajor));
}

// --- Values for this session only ------------------------------------------------------------

namespace {

TConfigDefault CurrentValue(const TConfigField &f) {
  switch (f.FieldType) {
    case TConfigFieldType::fdString: return *static_cast<const std::string *>(f.Data);
    case TConfigFieldType::fdInteger: return *static_cast<const int32_t *>(f.Data);
    case TConfigFieldType::fdBoolean: return *static_cast<const bool *>(f.Data);
    case TConfigFieldType::fdPaperList: return PapersAt(f.Data);
    default:
      throw ETavelinError("TConfigAbstract.HoldForSession: Champ sans valeur simple: " + f.Name);
  }
}

}  // namespace

TConfigField &TConfigAbstract::FieldNamed(const std::string &name) const {
  for (const auto &f : Fields)
    if (f->Name == name) return *f;
  throw ETavelinError("TConfigAbstract.HoldForSession: Champ inconnu: " + name);
}

void TConfigAbstract::HoldForSession(const std::string &name, const TConfigDefault &value) {
  TConfigField &f = FieldNamed(name);
  TConfigDefault stored = CurrentValue(f);
  switch (f.FieldType) {
    case TConfigFieldType::fdString: *static_cast<std::string *>(f.Data) = DefaultAsText(value); break;
    case TConfigFieldType::fdInteger: *static_cast<int32_t *>(f.Data) = DefaultAsInteger(value); break;
    case TConfigFieldType::fdPaperList: PapersAt(f.Data) = std::get<std::vector<TExamPaper>>(value); break;
    default: *static_cast<bool *>(f.Data) = DefaultAsBoolean(value); break;
  }
  for (auto &held : session_)
    if (held.Field == &f) {  // held twice: the store still holds what it held the first time
      held.Session = CurrentValue(f);
      return;
    }
  session_.push_back({&f, std::move(stored), CurrentValue(f)});
}

void TConfigAbstract::FollowSessionValue(const std::string &name) {
  const TConfigField &f = FieldNamed(name);
  for (auto &held : session_)
    if (held.Field == &f) held.Session = CurrentValue(f);
}

bool TConfigAbstract::HeldForSession(const std::string &name) const {
  const TConfigField &f = FieldNamed(name);
  return std::any_of(session_.begin(), session_.end(), [&](const TSessionValue &held) {
    return held.Field == &f && CurrentValue(f) == held.Session;
  });
}

const void *TConfigAbstract::ValueToSave(const TConfigField &field) {
  for (auto held = session_.begin(); held != session_.end(); ++held) {
    if (held->Field != &field) continue;
    if (CurrentValue(field) == held->Session)
      return std::visit([](const auto &stored) -> const void * { return &stored; }, held->Stored);
    session_.erase(held);  // changed in a window: the user's value from now on
    break;
  }
  return field.Data;
}
