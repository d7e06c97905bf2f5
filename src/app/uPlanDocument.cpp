#include <windows.h>

#include "app/uPlanDocument.h"

#include <commdlg.h>

#include <memory>
#include <vector>

#include "forms/uSystemLib.h"
#include "settings/uConfig.h"

namespace {

std::wstring Wide(const std::string &text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(1252, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  MultiByteToWideChar(1252, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

// A path the program can hold: nothing when a character of it has no byte in Windows-1252.
bool Narrow(const std::wstring &wide, std::string &out) {
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                                    nullptr, 0, nullptr, &lossy);
  out.assign(size_t(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), n,
                      nullptr, &lossy);
  return !lossy;
}

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using TFile = std::unique_ptr<void, HandleCloser>;

}  // namespace

TExamPlanFile ReadPlanDocument(const std::string &path) {
  // Shared every way: an editor that holds the plan open, or the server's own sharing, never
  // keeps a room from opening it.
  TFile file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_NAME)
      throw ETavelinError("Le plan \"" + path + "\" est introuvable.");
    throw ETavelinError("Le plan \"" + path + "\" ne peut pas être lu.");
  }
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  // One byte more than a plan may hold, so that a larger file is told as such.
  while (bytes.size() <= MaxPlanBytes) {
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr))
      throw ETavelinError("Le plan \"" + path + "\" ne peut pas être lu.");
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  try {
    return ReadPlanFile(bytes);
  } catch (const EPlanFile &e) {
    throw ETavelinError(PlanFileMessage(path, e));
  }
}

void WritePlanDocument(const std::string &path, const TExamPlanFile &plan) {
  const std::string bytes = PlanFileText(plan);
  const std::wstring target = Wide(path), written = target + L".tmp";
  const std::string refused = "Le plan \"" + path + "\" ne peut pas être enregistré.";
  {
    TFile file(CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
      file.release();
      throw ETavelinError(refused);
    }
    DWORD put = 0;
    if (!WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &put, nullptr) ||
        put != bytes.size() || !FlushFileBuffers(file.get())) {
      file.reset();
      DeleteFileW(written.c_str());
      throw ETavelinError(refused);
    }
  }
  // The plan as it was, or the new one whole: never half of one.
  if (!MoveFileExW(written.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(written.c_str());
    throw ETavelinError(refused);
  }
}

bool ChoosePlanFile(HWND owner, bool save, const std::string &suggested, std::string &chosen) {
  std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
  const std::wstring name = Wide(suggested).substr(0, file.size() - 1);
  std::copy(name.begin(), name.end(), file.begin());
  const std::wstring folder = Wide(AppConfig->PlanFolder);
  const std::wstring title = Wide(save ? "Enregistrer le plan" : "Ouvrir un plan");
  static const wchar_t filter[] = L"Plan d'examen (*.tavelin)\0*.tavelin\0Tous les fichiers\0*.*\0";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"tavelin";
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST);
  // As the options' sound dialog: the Explorer-style dialog needs COM on this thread.
  TComScope com;
  if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return false;
  if (!Narrow(file.data(), chosen))
    throw ETavelinError("Ce chemin contient un caractère que Tavelin ne peut pas écrire; "
                        "choisissez un autre nom ou un autre dossier.");
  return true;
}
