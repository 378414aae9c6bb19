// The freedesktop thumbnail cache ($XDG_CACHE_HOME/thumbnails/), shared with
// file managers: large (256) and x-large (512) PNG files named by the MD5 of
// the file's URI, carrying Thumb::URI and Thumb::MTime (stale when the file's
// modification time differs) and the picture's size. A cached thumbnail is
// reduced to the fitted size; a missing or stale one is decoded and written.
// A file that does not decode gets a failure entry (fail/lumora/) and is
// not decoded again until its modification time changes.
// Writes are atomic (temporary file and rename); an unwritable or damaged
// cache only costs the decoding. Thread-safe.
#pragma once
#include <functional>
#include <string>

#include "lumora/Thumbnail.h"

namespace lumora {

// 256 or 512: the smaller cache size whose thumbnail of a w x h picture
// covers its fit into the box; 0 when neither does.
int CacheSizeFor(int w, int h, int boxW, int boxH);
// The cache file of a path for a size ("" when the path has no URI).
std::string CacheFileFor(const std::string& path, int size);
// The thumbnail of the file for the box, through the cache where it applies.
// With `deferredWrite`, a new cache entry is not written now but handed back
// there, so the caller can show the thumbnail first and write after.
Thumb LoadThumbnail(const std::string& path, int boxW, int boxH,
                    std::function<void()>* deferredWrite = nullptr);

}  // namespace lumora
