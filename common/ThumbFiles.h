// Entries of the freedesktop thumbnail cache ($XDG_CACHE_HOME/thumbnails/),
// shared with file managers: PNG files named by the MD5 of the file's URI,
// carrying Thumb::URI and Thumb::MTime; an entry whose time differs from the
// file's is stale. Both browsers keep their pictures here. Writes are atomic
// (temporary file and rename, private to the user). Thread-safe.
#pragma once
#include <ctime>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace thumbs {

// The file's URI ("" when the path cannot be one); relative paths are taken
// from the current folder.
std::string FileUri(const std::string& path);
// The entry for a URI under a folder of the cache ("large", "x-large",
// "fail/<program>").
std::string EntryFile(const std::string& uri, const std::string& folder);

struct Entry {
    int width = 0, height = 0;                 // size of rgb
    std::vector<uint8_t> rgb;                  // top-down R, G, B
    std::map<std::string, std::string> text;   // the other tEXt keys, without "tEXt::"
};

// Reads the entry when it is for this URI and modification time.
bool ReadEntry(const std::string& file, const std::string& uri, time_t mtime, Entry& out);
// Writes an entry (rgb may be empty: a 1 x 1 failure mark). text holds
// further keys such as "Thumb::Movie::Length".
bool WriteEntry(const std::string& file, const std::string& uri, time_t mtime, const Entry& entry,
                const char* software);

}  // namespace thumbs
