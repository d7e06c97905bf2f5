#pragma once
// Form designs are small text files: one item per line, "kind name key=value ...", with indented
// lines continuing the item above. Values are bare words or "quoted text" (\" and \\ escaped).
#include <string>
#include <utility>
#include <vector>

#include "base/uErrors.h"

struct TDesignItem {
  std::string Kind;
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Props;
  int Line = 0;
  // Keys read so far: a key that nothing reads is a fault of the design, found when it loads.
  mutable std::vector<std::string> Used;
  std::string FirstUnusedKey() const;

  bool Has(const std::string &key) const;
  std::string Get(const std::string &key, const std::string &fallback = {}) const;
  int GetInt(const std::string &key, int fallback) const;
  bool GetBool(const std::string &key, bool fallback) const;
  // "a,b,c,d" as integers; throws when the count differs.
  std::vector<int> GetInts(const std::string &key, size_t count) const;
};

struct TFormDesign {
  std::vector<TDesignItem> Items;  // the form itself first
  const TDesignItem &Form() const { return Items.front(); }
  const TDesignItem *Find(const std::string &name) const;
};

// Throws ETavelinError naming the design and line of the first fault.
TFormDesign ParseDesign(const std::string &text, const std::string &designName);
