#include "common/RegKey.h"

#include <cstdint>
#include <cstring>

using namespace plat;

long CRegKey::Open(HKEY root, const char* subKey) {
    Close();
    path_ = subKey ? subKey : "";
    return RegCreateKeyExA(root, subKey, &key_);
}

void CRegKey::Close() {
    if (!key_) return;
    RegCloseKey(key_);
    key_ = nullptr;
}

long CRegKey::ReadString(const char* name, std::string& value) {
    if (!key_) return ERROR_INVALID_HANDLE;
    if (!name) return ERROR_INVALID_PARAMETER;
    char buf[kMaxText];
    DWORD type = 0, size = sizeof buf;
    long rc = RegQueryValueExA(key_, name, &type, reinterpret_cast<uint8_t*>(buf), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ) return ERROR_INVALID_PARAMETER;
    // A text stored without its terminator ends at its stored length.
    value.assign(buf, strnlen(buf, size));
    return ERROR_SUCCESS;
}

long CRegKey::ReadNumber(const char* name, unsigned& value) {
    if (!key_) return ERROR_INVALID_HANDLE;
    if (!name) return ERROR_INVALID_PARAMETER;
    uint32_t n = 0;
    DWORD type = 0, size = sizeof n;
    long rc = RegQueryValueExA(key_, name, &type, reinterpret_cast<uint8_t*>(&n), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || size != sizeof n) return ERROR_INVALID_PARAMETER;
    value = n;
    return ERROR_SUCCESS;
}

long CRegKey::WriteString(const char* name, const char* text) {
    if (!key_) return ERROR_INVALID_HANDLE;
    if (!name || !text) return ERROR_INVALID_PARAMETER;
    return RegSetValueExA(key_, name, REG_SZ, reinterpret_cast<const uint8_t*>(text), DWORD(std::strlen(text) + 1));
}

long CRegKey::WriteNumber(const char* name, unsigned value) {
    if (!key_) return ERROR_INVALID_HANDLE;
    if (!name) return ERROR_INVALID_PARAMETER;
    uint32_t n = value;
    return RegSetValueExA(key_, name, REG_DWORD, reinterpret_cast<const uint8_t*>(&n), sizeof n);
}
