// A registry key under HKEY_CURRENT_USER, opened for all access. Only the
// key's default (unnamed) string value is used by the program.
#pragma once

#include <cstddef>
#include <string>

class CRegistry {
 public:
  // Holds the root key HKEY_CURRENT_USER.
  CRegistry();
  // Closes the held key.
  virtual ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  // Opens subKey (backslash-separated) below the held key and holds it in
  // its place. False when the key does not exist or cannot be opened.
  [[nodiscard]] bool Open(const std::wstring& subKey);

  // Reads the default value, a string stored as UTF-16 with its terminator,
  // when it takes at most limitBytes. False when there is none or it does not
  // fit.
  [[nodiscard]] bool QueryDefault(std::wstring* text, size_t limitBytes);

  // Sets the default value to text as a string with its terminator.
  [[nodiscard]] bool SetDefault(const std::wstring& text);

 private:
  void Close();
  void* key_;
};
