// Fixed-width integer names used across the programs' interfaces.
#pragma once
#include <cstdint>

namespace plat {
using DWORD = uint32_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HRESULT = int32_t;
using BOOL = int;
}  // namespace plat
