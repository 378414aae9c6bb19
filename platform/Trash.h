// Deleting a user's file the way the desktop does: into the freedesktop trash
// of the file's volume, through GIO, so the user can take it back. The image
// browser and the video browser use it for their Delete commands.
// Thread-safe.
#pragma once
#include <string>

namespace plat {

enum class TrashResult {
    Trashed,  // the file is in the trash, with its .trashinfo record
    NoTrash,  // the volume has no usable trash; the file is untouched
    Failed,   // the file is untouched; the reason is in *error
};

// Moves the file at path to the trash. On NoTrash the caller may ask the
// user before deleting it for good (DeleteForGood). error, when given, gets
// the reason in the C library's words ("No such file or directory", ...).
TrashResult MoveToTrash(const std::string& path, std::string* error = nullptr);

// True when the file's volume has a trash ready for it (the home's, or one
// made on that disk before); false also where MoveToTrash would still make
// one, so a false answer is a "maybe".
bool CanTrash(const std::string& path);

// Removes the file for good; false with the C library's text in *error.
bool DeleteForGood(const std::string& path, std::string* error = nullptr);

}  // namespace plat
