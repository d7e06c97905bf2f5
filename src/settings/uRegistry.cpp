#include <windows.h>

#include "settings/uRegistry.h"

#include <algorithm>
#include <vector>

#include "base/uErrors.h"

EInvalidDataType InvalidDataType(const std::string &name) {
  return EInvalidDataType(FormatMessage1("Type de données incorrect pour '%s'", name));
}

void TRegistryAccess::InvalidType(const std::string &name) { throw InvalidDataType(name); }
void TRegistryAccess::GetFailed(const std::string &name) {
  throw ETavelinError(FormatMessage1("Echec à l'obtention des données pour '%s'", name));
}
void TRegistryAccess::SetFailed(const std::string &name) {
  throw ETavelinError(FormatMessage1("Echec à la définition des données pour '%s'", name));
}

bool TRegistryAccess::OpenKey(const std::string &path, bool create) {
  CloseKey();
  LONG r;
  if (create)
    r = RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                        nullptr);
  else
    r = RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ | KEY_WRITE, &key_);
  if (r != ERROR_SUCCESS) key_ = nullptr;
  return key_ != nullptr;
}

bool TRegistryAccess::OpenKeyReadOnly(const std::string &path) {
  CloseKey();
  if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  return key_ != nullptr;
}

void TRegistryAccess::CloseKey() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistryAccess::KeyExists(const std::string &path) const {
  HKEY k;
  if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool TRegistryAccess::ValueExists(const std::string &name) const {
  return key_ && RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                     ERROR_SUCCESS;
}

std::string TRegistryAccess::ReadString(const std::string &name) const {
  if (!key_) GetFailed(name);
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) return {};
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) InvalidType(name);
  // The stored bytes need not end with a NUL, and may change between the two queries.
  std::vector<char> buffer(size_t(size) + 2, '\0');
  DWORD got = size;
  r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()),
                       &got);
  if (r == ERROR_MORE_DATA) return ReadString(name);
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) InvalidType(name);
  size_t n = std::min<size_t>(got, buffer.size() - 1);
  std::string s(buffer.data(), n);
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

int32_t TRegistryAccess::ReadInteger(const std::string &name) const {
  if (!key_) GetFailed(name);
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_DWORD || size != sizeof(DWORD)) InvalidType(name);
  DWORD value = 0;
  size = sizeof value;
  r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_DWORD) InvalidType(name);
  return int32_t(value);
}

size_t TRegistryAccess::ReadBinary(const std::string &name, void *buffer, size_t size) const {
  if (!key_) GetFailed(name);
  DWORD type = 0, stored = 0;
  LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &stored);
  if (r != ERROR_SUCCESS) GetFailed(name);
  if ((type != REG_BINARY && type != REG_NONE) || stored > size) InvalidType(name);
  DWORD got = DWORD(size);
  r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, static_cast<BYTE *>(buffer), &got);
  if (r == ERROR_MORE_DATA) InvalidType(name);
  if (r != ERROR_SUCCESS) GetFailed(name);
  return got;
}

std::vector<std::string> TRegistryAccess::ReadLines(const std::string &name) const {
  if (!key_) GetFailed(name);
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_MULTI_SZ) InvalidType(name);
  std::vector<char> buffer(size_t(size) + 2, '\0');
  DWORD got = size;
  r = RegQueryValueExA(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()),
                       &got);
  if (r == ERROR_MORE_DATA) return ReadLines(name);  // grown between the two queries
  if (r != ERROR_SUCCESS) GetFailed(name);
  if (type != REG_MULTI_SZ) InvalidType(name);
  // Whatever the stored bytes, the last string ends inside the buffer.
  std::vector<std::string> lines;
  const char *at = buffer.data(), *end = at + std::min<size_t>(got, buffer.size() - 1);
  while (at < end) {
    std::string line(at);
    at += line.size() + 1;
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

void TRegistryAccess::Write(const std::string &name, DWORD type, const void *data, DWORD size) {
  if (!key_ || RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE *>(data), size) !=
                   ERROR_SUCCESS)
    SetFailed(name);
}

void TRegistryAccess::WriteString(const std::string &name, const std::string &value) {
  Write(name, REG_SZ, value.c_str(), DWORD(value.size() + 1));
}

void TRegistryAccess::WriteInteger(const std::string &name, int32_t value) {
  DWORD v = DWORD(value);
  Write(name, REG_DWORD, &v, sizeof v);
}

void TRegistryAccess::WriteBinary(const std::string &name, const void *data, size_t size) {
  Write(name, REG_BINARY, data, DWORD(size));
}

void TRegistryAccess::WriteLines(const std::string &name, const std::vector<std::string> &lines) {
  std::string data;
  for (const std::string &line : lines) data.append(line).push_back('\0');
  data.push_back('\0');  // the empty string that ends the list
  Write(name, REG_MULTI_SZ, data.data(), DWORD(data.size()));
}

void TRegistryAccess::DeleteValue(const std::string &name) {
  if (!key_) SetFailed(name);
  LONG r = RegDeleteValueA(key_, name.c_str());
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) SetFailed(name);
}
