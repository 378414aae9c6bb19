// Profile (INI) files with the Win32 GetPrivateProfile*/WritePrivateProfile*
// semantics and the Windows file format, so files written on Windows read
// here and back: CRLF or LF line ends (a file's own style is kept on rewrite,
// new files get CRLF), sections and keys case-insensitive, case kept, comments
// and unknown lines kept. A struct value is the upper-case hex of its bytes
// followed by two hex digits of the low byte of their sum.
//
// A file name without '/' is taken from the Windows-folder stand-in
// ($XDG_DATA_HOME/quorvel/windows/). Every write locks the file (flock),
// re-reads it, applies the one change and replaces it atomically (temp +
// fsync + rename), so concurrent writers keep each other's changes.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plat {

using UINT = unsigned int;
using BOOL = int;
using DWORD = std::uint32_t;
#ifndef TRUE
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
#endif

// Leading whitespace, optional sign, then the leading decimal digits ("12ab"
// = 12, "-5" = (UINT)-5, "abc" = 0); def when the key is missing or empty.
UINT GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file);

// Copies the value (surrounding blanks removed, one pair of matching quotes
// removed) or def (null = "") into out, truncated to size - 1 bytes; returns
// the bytes copied. section null: all section names, key null: all key names
// of the section, each zero-terminated plus a final zero (returns size - 2
// when truncated). out null or size 0: returns 0.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                               DWORD size, const char* file);

// TRUE and size bytes in out when the value is exactly 2 * size + 2 hex
// digits and the checksum matches; FALSE otherwise (out untouched).
BOOL GetPrivateProfileStructA(const char* section, const char* key, void* out, UINT size, const char* file);
BOOL WritePrivateProfileStructA(const char* section, const char* key, const void* data, UINT size,
                                const char* file);

// Sets key = value; value null deletes the key, key null deletes the section.
// section null: FALSE. Creates the file (and its folder) when missing.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);

// Sets every key = value of the list in one section with a single atomic
// write, so a reader sees all of them or none.
BOOL WritePrivateProfileValues(const char* section, const std::vector<std::pair<std::string, std::string>>& values,
                               const char* file);
// The text WritePrivateProfileStructA stores for size bytes of data.
std::string FormatProfileStruct(const void* data, UINT size);

}  // namespace plat
