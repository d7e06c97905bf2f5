#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "settings/uConfigTypes.h"
#include "settings/uRegistry.h"

class TForm;
class TConfigAbstract;
class TInfoVersion;

// The thirteen keys read from the version block, in their order.
enum TInfoPreDef : uint8_t {
  CompanyName = 0,
  FileDescription,
  FileVersion,
  InternalName,
  LegalCopyright,
  LegalTradeMarks,
  OriginalFileName,
  ProductName,
  ProductVersion,
  Comments,
  BuildFlags,
  eMail,
  URL,
};
constexpr uint8_t InfoMajor = 13, InfoMinor = 14, InfoRelease = 15, InfoBuild = 16, InfoBeta = 17;
extern const char *const InfoKeyNames[13];
extern const char *const InfoNotRegistered;  // "Info not registered"

class TInfoOS {
public:
  explicit TInfoOS(TInfoVersion *owner);
  virtual ~TInfoOS() = default;
  uint32_t MinorVersion = 0;
  uint32_t MajorVersion = 0;
  uint32_t BuildNumber = 0;
  uint32_t PlatformId = 0;
  TInfoVersion *Owner;
  std::string CSDVersion;
  std::string GetMajorText() const;
  std::string GetMinorText() const;
  std::string GetPlatformName() const;
};

class TInfoUser {
public:
  explicit TInfoUser(TInfoVersion *owner);
  std::string LoginName;
  std::string RegisteredName;
  std::string RegisteredCompany;
  TInfoVersion *Owner;
};

// What the program knows of itself (its version block) and of its host.
class TInfoVersion {
public:
  explicit TInfoVersion(TConfigAbstract *owner);
  std::vector<std::string> VersionStrings;
  std::unique_ptr<TInfoOS> InfoOS;
  std::unique_ptr<TInfoUser> InfoUser;
  std::vector<std::string> NoteLines;
  TConfigAbstract *Owner;

  std::string GetInfo(uint8_t index) const;
  std::string GetVersionPart(int part) const;
  // Reads the version block of an executable; without one, every entry is "Info not registered".
  void ReadVersionInfo(const std::string &exePath);
  // Shows the about box modally (defined with the about box).
  void ShowAbout();
};

class TConfigField {
public:
  TConfigField(TConfigAbstract *owner, const TConfigFieldsRec &rec);
  ~TConfigField() { Data = nullptr; }
  std::string Name;
  TConfigFieldType FieldType;
  void *Data;
  int32_t Size;
  TConfigDefault Default;
};

// A top-level window's normal rectangle as GetWindowPlacement gives it (relative to the work
// area of its monitor), in screen pixels.
RECT WorkspaceToScreen(RECT placement, const MONITORINFO &monitor);

// A program's persistent settings: a table of fields bound to the subclass's own variables,
// loaded from and saved to one registry key, with window placements beside them.
class TConfigAbstract {
public:
  static constexpr const char *BaseKeyPath = "Software\\Fenwright";

  explicit TConfigAbstract(bool UseVersionKey);
  virtual ~TConfigAbstract();
  TConfigAbstract(const TConfigAbstract &) = delete;
  TConfigAbstract &operator=(const TConfigAbstract &) = delete;

  std::string RegistryKey;
  bool BetaVersion = false;
  bool UseVersionKey;
  std::vector<std::unique_ptr<TConfigField>> Fields;
  std::unique_ptr<TInfoVersion> InfoVersion;

  virtual void DefineFields() = 0;
  virtual void RegisterFields(const std::vector<TConfigFieldsRec> &table);
  virtual void LoadSettings();
  virtual void SaveSettings();

  void SaveWindowSetting(uint8_t kind, TForm *form, int32_t index);
  void LoadWindowSetting(uint8_t kind, TForm *form, int32_t index);
  std::string GetTitleText(uint8_t kind) const;
  std::string GetVersionKey() const;
  void SetBetaVersion(bool beta) { BetaVersion = beta; }

  // --- Values for this session only ----------------------------------------------------------
  // A value given for this session (by the command line) stands in for the stored one: a save
  // writes the stored value back for as long as the field still holds the session's, and saves
  // the field as usual from the first save that finds it changed (by the user, in a window).
  void HoldForSession(const std::string &name, const TConfigDefault &value);
  // The program itself moved a held value on (a run to an end time works its duration out again
  // when it starts): the new value is still the session's. Nothing for a field not held.
  void FollowSessionValue(const std::string &name);
  // Held, and still at the session's value: a save would leave the stored value.
  bool HeldForSession(const std::string &name) const;

protected:
  // Defines and loads the fields: the subclass calls it first thing, so that its own
  // construction works on loaded values.
  void Construct();
  // The values that loading found wrong and told the user of: a subclass that heals them further
  // does not tell again.
  std::vector<std::string> HealedOnLoad;

private:
  TForm *PlacementWindow(uint8_t kind, TForm *form, const char *who) const;
  std::unique_ptr<TRegistryAccess> registry_;

  struct TSessionValue {
    const TConfigField *Field;
    TConfigDefault Stored, Session;
  };
  std::vector<TSessionValue> session_;
  TConfigField &FieldNamed(const std::string &name) const;
  // What a save writes for the field: its variable, or the stored value that it stands in for.
  const void *ValueToSave(const TConfigField &field);
};
