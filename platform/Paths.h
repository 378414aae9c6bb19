// Folders and file helpers. Every folder comes back with a trailing '/', and is
// created when missing (private ones with mode 0700). Thread-safe.
#pragma once
#include <string>

namespace plat {
std::string DataHome();     // $XDG_DATA_HOME/Quorvel/Tellura/
std::string ProfileDir();   // $XDG_DATA_HOME/Quorvel/
std::string SystemDir();    // $XDG_DATA_HOME/quorvel/system/
std::string WindowsDir();   // $XDG_DATA_HOME/quorvel/windows/
std::string ConfigDir();    // $XDG_CONFIG_HOME/quorvel/
std::string StateDir();     // $XDG_STATE_HOME/quorvel/ (0700)
std::string RuntimeDir();   // $XDG_RUNTIME_DIR/quorvel/ (0700), else a private folder in /tmp
// Private per-user temporary folder (0700) under $TMPDIR or /tmp. A folder of
// that name owned by someone else, or open to others, is never used: a fresh
// private one is made instead. Empty string if none can be made.
std::string TempDir();
std::string PicturesDir();  // XDG Pictures folder (user-dirs.dirs), else ~/Pictures
std::string VideosDir();    // XDG Videos folder, else ~/Videos
std::string ProgramDir();   // folder of the running executable
std::string CurrentDir();
bool SetCurrentDir(const std::string& dir);

// 0 = missing or unusable, 1 = a file, or a removable drive (the mount point of
// a removable device) holding a medium, 2 = a folder. Relative names count from the
// current folder; a Windows drive form such as "C:" is just a relative name here.
int GetPathKind(const std::string& path);

// pattern is "<folder>/<prefix>*<extension>" in one folder. Looks at every
// matching name, drops prefixLength characters from the front and
// extensionLength from the back, reads the rest as a decimal number (0 when it
// is not one) and returns the highest; 0 when nothing matches.
int FindHighestFileNumber(const std::string& pattern, int prefixLength, int extensionLength);

// Replaces path with data through a temp file in the same folder, fsync and
// rename, so the file is always either the old or the new content. The mode of
// an existing file is kept; a new file gets newFileMode. False on failure.
bool AtomicWriteFile(const std::string& path, const std::string& data, unsigned newFileMode = 0644);
}  // namespace plat
