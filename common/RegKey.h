// CRegKey: one open registry key with typed reads and writes. Used for every
// registry access of the viewer's settings and of the dialogs. Results are the
// registry status codes (0 = success); a failed read leaves the caller's value
// unchanged so its default survives. Writes made through the key reach the
// store file as one atomic batch when the key is closed (see Registry.h).
#pragma once
#include <string>

#include "platform/Registry.h"

class CRegKey {
public:
    // Longest text ReadString accepts, terminating zero included.
    static constexpr unsigned kMaxText = 200;

    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Opens subKey below root with create-on-open and full access; closes a
    // key already open first.
    long Open(plat::HKEY root, const char* subKey);
    // Closes the key when one is open (writing its pending values).
    void Close();

    // REG_SZ of at most 200 bytes including the terminator. Missing, longer
    // or of another type: failure, value unchanged. A stored text without its
    // terminator is read up to its stored length.
    long ReadString(const char* name, std::string& value);
    // REG_DWORD of exactly 4 bytes, else failure and value unchanged.
    long ReadNumber(const char* name, unsigned& value);
    // REG_SZ including its terminating zero.
    long WriteString(const char* name, const char* text);
    long WriteNumber(const char* name, unsigned value);

    bool IsOpen() const { return key_ != nullptr; }
    plat::HKEY Handle() const { return key_; }
    // The sub-key path last passed to Open.
    const std::string& SubKey() const { return path_; }

private:
    plat::HKEY key_ = nullptr;
    std::string path_;
};
