#pragma once
// Texts of the program: names taken from the executable's path, and the conversion of our UTF-8
// sources to the Windows-1252 that the program speaks.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "C:\dir\a.b.exe" gives "a": the executable's name up to its first dot.
std::string ExeBaseName(const std::string &exePath);
// The file name without directory: "C:\dir\Tavelin.exe" gives "Tavelin.exe".
std::string ExeFileName(const std::string &exePath);
// The application title: the file name without extension, first letter kept, the rest lower case.
std::string ApplicationTitleFromExe(const std::string &exePath);

// The form designs are UTF-8 files; the program speaks Windows-1252.
std::string Utf8ToCp1252(const std::string &utf8);
// The same, exactly, for a file a person wrote: nothing when its bytes are not UTF-8 or name a
// character that Windows-1252 lacks (no "?" stands in for it).
std::optional<std::string> Utf8ToCp1252Exact(const std::string &utf8);
// The program's texts as the files it writes for other programs hold them: UTF-8.
std::string Cp1252ToUtf8(const std::string &text);

// A whole number written in decimal digits only, at most maxDigits of them (no sign, no space).
std::optional<uint32_t> Number(std::string_view text, size_t maxDigits);
