#include "platform/GlobalMemory.h"

#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

struct BlockHeader {
    std::size_t size;
    unsigned locks;
    unsigned magic;
    alignas(std::max_align_t) unsigned char data[1];
};
constexpr unsigned kMagic = 0x4D454D47u;
constexpr std::size_t kDataOffset = offsetof(BlockHeader, data);

BlockHeader* Header(HGLOBAL h) {
    auto* b = static_cast<BlockHeader*>(h);
    return (b && b->magic == kMagic) ? b : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(unsigned flags, std::size_t size) {
    if (size > (std::size_t(1) << 40)) return nullptr;
    auto* b = static_cast<BlockHeader*>(std::malloc(kDataOffset + (size ? size : 1)));
    if (!b) return nullptr;
    b->size = size;
    b->locks = 0;
    b->magic = kMagic;
    if (flags & GMEM_ZEROINIT) std::memset(b->data, 0, size);
    return b;
}

void* GlobalLock(HGLOBAL h) {
    BlockHeader* b = Header(h);
    if (!b) return nullptr;
    ++b->locks;
    return b->data;
}

bool GlobalUnlock(HGLOBAL h) {
    BlockHeader* b = Header(h);
    if (!b || b->locks == 0) return false;
    return --b->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL h) {
    BlockHeader* b = Header(h);
    if (b) {
        b->magic = 0;
        std::free(b);
    }
    return nullptr;
}

std::size_t GlobalSize(HGLOBAL h) {
    BlockHeader* b = Header(h);
    return b ? b->size : 0;
}

}  // namespace plat
