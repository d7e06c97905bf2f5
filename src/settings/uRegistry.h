#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/uErrors.h"

// A stored value of another registry type than the one read, or too large for its buffer. The
// store recovers from this one failure: the value is someone's edit, not a broken registry.
class EInvalidDataType : public ETavelinError {
public:
  using ETavelinError::ETavelinError;
};
// The store's message for that value, also given for a value of the right type that the program
// cannot use.
EInvalidDataType InvalidDataType(const std::string &name);

// The registry access layer: one key open at a time under a root, values of the types the store
// uses, and the store's three French messages when a value has the wrong type or cannot be read
// or written.
class TRegistryAccess {
public:
  explicit TRegistryAccess(HKEY root) : root_(root) {}
  ~TRegistryAccess() { CloseKey(); }
  TRegistryAccess(const TRegistryAccess &) = delete;
  TRegistryAccess &operator=(const TRegistryAccess &) = delete;

  bool OpenKey(const std::string &path, bool create);
  bool OpenKeyReadOnly(const std::string &path);
  void CloseKey();
  bool KeyExists(const std::string &path) const;
  bool ValueExists(const std::string &name) const;

  std::string ReadString(const std::string &name) const;
  int32_t ReadInteger(const std::string &name) const;
  bool ReadBool(const std::string &name) const { return ReadInteger(name) != 0; }
  // Reads at most `size` bytes; a larger value is refused. Returns the bytes read.
  size_t ReadBinary(const std::string &name, void *buffer, size_t size) const;
  // A REG_MULTI_SZ value, its empty strings left out.
  std::vector<std::string> ReadLines(const std::string &name) const;

  void WriteString(const std::string &name, const std::string &value);
  void WriteInteger(const std::string &name, int32_t value);
  void WriteBool(const std::string &name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteBinary(const std::string &name, const void *data, size_t size);
  void WriteLines(const std::string &name, const std::vector<std::string> &lines);
  // No value of that name afterwards; one that was not there is no failure.
  void DeleteValue(const std::string &name);

private:
  [[noreturn]] static void InvalidType(const std::string &name);
  [[noreturn]] static void GetFailed(const std::string &name);
  [[noreturn]] static void SetFailed(const std::string &name);
  void Write(const std::string &name, DWORD type, const void *data, DWORD size);

  HKEY root_;
  HKEY key_ = nullptr;
};

// Closes the accessor's key at the end of a scope: no key stays open between operations.
class TKeyScope {
public:
  explicit TKeyScope(TRegistryAccess &registry) : registry_(registry) {}
  ~TKeyScope() { registry_.CloseKey(); }
  TKeyScope(const TKeyScope &) = delete;
  TKeyScope &operator=(const TKeyScope &) = delete;

private:
  TRegistryAccess &registry_;
};
