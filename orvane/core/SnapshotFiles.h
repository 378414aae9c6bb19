// File work behind the snapshot and recording commands: generated names,
// checks that the capture library really wrote a still, the JPEG re-encode
// and the copy to a chosen name. No toolkit and no library state here.
#pragma once
#include <string>
#include <sys/types.h>

namespace orvane {

// "<folder><prefix><number>.<extension>" ("%s%s%d.bmp" and its kin). The
// folder keeps its trailing '/'.
std::string GeneratedName(const char* folder, const char* prefix, int number, const char* extension);

// True when name fits the viewer's 260-byte path fields.
bool FitsPathField(const std::string& name);

// Identity of a file before the library writes it, to tell a fresh write from
// a file that was there already.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeNs = 0;
};
FileStamp StampOf(const std::string& path);

// True when path now holds a complete BMP picture that was written after
// `before` was taken: a new file, or one replaced since.
bool IsFreshBmp(const std::string& path, const FileStamp& before);

// Loads the BMP picture in path into the image object and writes it again
// as JPEG under the same name at quality (clamped to 10..100). The file is
// replaced atomically, so on failure it still holds the BMP picture. False
// when it could not be loaded or written.
bool ReencodeAsJpeg(const std::string& path, int quality);

// Copies from to `to`, replacing `to` atomically (temp file, fsync, rename).
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Removes path when it is a file that did not exist at `before` (a leftover
// of a failed start). Never touches a file that was there before.
void RemoveIfNew(const std::string& path, const FileStamp& before);

// The folder part of path without the final '/', or "" when there is none.
std::string FolderWithoutSlash(const std::string& path);

}  // namespace orvane
