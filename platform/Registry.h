// Registry store: the Win32 registry calls the programs use, kept in one
// "Windows Registry Editor Version 5.00" text file per user at
// $XDG_CONFIG_HOME/quorvel/registry.reg (HKEY_LOCAL_MACHINE maps there).
//
// Semantics follow Win32: status codes are returned (ERROR_SUCCESS = 0), key
// and value names are case-insensitive and keep the case first written, sizes
// are in/out with ERROR_MORE_DATA when the buffer is too small, and a REG_SZ
// read returns the stored bytes including the terminating zero.
//
// Durability and batching:
//  - RegCreateKeyExA writes a missing key to the file at once.
//  - Values set or deleted through a handle are visible at once to every
//    handle of this process, and are written to the file as one batch when the
//    handle is closed (or RegFlushKey is called). Writing the batch takes an
//    advisory lock (flock on registry.reg.lock), re-reads the file, applies
//    only this batch, writes a temporary file, fsyncs it and renames it over
//    the store. Other processes' values are therefore kept, and a crash loses
//    at most the batch not yet closed, never the file.
//  - Values set on HKEY_LOCAL_MACHINE itself are written at once.
//  - Reads re-read the file when it changed (inode, size or mtime differ).
//  - A file that is damaged, truncated or not a registry file is renamed to
//    registry.reg.bad-<YYYYMMDD-HHMMSS> and the store starts empty.
// All calls are thread-safe.
#pragma once
#include <cstdint>

namespace plat {

using DWORD = std::uint32_t;

using HKEY = struct RegKeyObject*;
extern HKEY const HKEY_LOCAL_MACHINE;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_OUTOFMEMORY = 14;
constexpr long ERROR_WRITE_FAULT = 29;
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_MORE_DATA = 234;
constexpr long ERROR_BADDB = 1009;
constexpr long ERROR_CANTWRITE = 1013;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Longest key-path component and value name, in bytes.
constexpr unsigned kRegMaxName = 255;
// Levels a key path may have below its root.
constexpr unsigned kRegMaxDepth = 512;
// Largest value accepted, in bytes.
constexpr DWORD kRegMaxData = 1u << 20;

// Opens subKey below root, creating it and its parents when missing. subKey
// may be empty or null (a new handle to root). Rejected with
// ERROR_INVALID_PARAMETER: empty components ("a\\\\b", leading or trailing
// backslash), "." and "..", control characters, components over 255 bytes.
long RegCreateKeyExA(HKEY root, const char* subKey, HKEY* result);
// As RegCreateKeyExA but never creates: ERROR_FILE_NOT_FOUND when missing.
long RegOpenKeyExA(HKEY root, const char* subKey, HKEY* result);
// name null or "" is the key's default value. data null: only *type/*size are
// filled. size null with data given: ERROR_INVALID_PARAMETER.
long RegQueryValueExA(HKEY key, const char* name, DWORD* type, std::uint8_t* data, DWORD* size);
// Stores size bytes of data (data may be null only when size is 0). Value
// names over 255 bytes or with control characters: ERROR_INVALID_PARAMETER.
long RegSetValueExA(HKEY key, const char* name, DWORD type, const std::uint8_t* data, DWORD size);
long RegDeleteValueA(HKEY key, const char* name);
// Writes the handle's pending batch now; the handle stays open.
long RegFlushKey(HKEY key);
// Writes the pending batch and frees the handle. Closing HKEY_LOCAL_MACHINE
// is a harmless no-op. The status of the batch write is returned; the handle
// is freed either way.
long RegCloseKey(HKEY key);

// Full path of the store file for the current environment.
const char* RegistryFilePath();

}  // namespace plat
