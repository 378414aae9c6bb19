// Movable memory blocks: the handle type image data travels in between the
// codec library and its callers. A handle owns a block of a fixed size; the
// pointer to its bytes is obtained with GlobalLock and released with
// GlobalUnlock. The block records its own size, so any copy of this code
// can free a handle made by another.
#pragma once
#include <cstddef>

namespace plat {

using HGLOBAL = void*;

constexpr unsigned GMEM_MOVEABLE = 0x0002;
constexpr unsigned GMEM_ZEROINIT = 0x0040;

// New block of `size` bytes (zeroed with GMEM_ZEROINIT); null when out of memory.
HGLOBAL GlobalAlloc(unsigned flags, std::size_t size);
// Pointer to the block's bytes, or null for a null handle.
void* GlobalLock(HGLOBAL h);
// Ends one lock; returns true while other locks remain.
bool GlobalUnlock(HGLOBAL h);
// Frees the block; null is accepted. Returns null.
HGLOBAL GlobalFree(HGLOBAL h);
// Size in bytes the block was made with, 0 for null.
std::size_t GlobalSize(HGLOBAL h);

}  // namespace plat
