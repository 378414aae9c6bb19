// The freedesktop trash through GIO's g_file_trash.
#include "platform/Trash.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat {

namespace {

// GIO keeps the errno only as its own code; most map straight back, so the
// user reads the same text a failed remove() would give.
int ErrnoOf(const GError* e) {
    if (e->domain != G_IO_ERROR) return 0;
    switch (e->code) {
    case G_IO_ERROR_NOT_FOUND: return ENOENT;
    case G_IO_ERROR_PERMISSION_DENIED: return EACCES;
    case G_IO_ERROR_READ_ONLY: return EROFS;
    case G_IO_ERROR_NO_SPACE: return ENOSPC;
    case G_IO_ERROR_FILENAME_TOO_LONG: return ENAMETOOLONG;
    case G_IO_ERROR_INVALID_FILENAME: return EINVAL;
    case G_IO_ERROR_IS_DIRECTORY: return EISDIR;
    case G_IO_ERROR_NOT_DIRECTORY: return ENOTDIR;
    case G_IO_ERROR_BUSY: return EBUSY;
    case G_IO_ERROR_TOO_MANY_LINKS: return ELOOP;
    default: return 0;
    }
}

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

TrashResult MoveToTrash(const std::string& path, std::string* error) {
    if (path.empty()) {
        SetError(error, std::strerror(ENOENT));
        return TrashResult::Failed;
    }
    GFile* file = g_file_new_for_path(path.c_str());
    GError* e = nullptr;
    const gboolean ok = g_file_trash(file, nullptr, &e);
    g_object_unref(file);
    if (ok) return TrashResult::Trashed;
    TrashResult result = TrashResult::Failed;
    if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED)) {
        result = TrashResult::NoTrash;
        SetError(error, e->message);
    } else if (const int code = ErrnoOf(e)) {
        SetError(error, std::strerror(code));
    } else {
        SetError(error, e->message);
    }
    g_error_free(e);
    return result;
}

bool CanTrash(const std::string& path) {
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_object_unref(file);
    const bool can = info && g_file_info_has_attribute(info, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH) &&
                     g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH);
    if (info) g_object_unref(info);
    return can;
}

bool DeleteForGood(const std::string& path, std::string* error) {
    if (std::remove(path.c_str()) == 0) return true;
    SetError(error, std::strerror(errno));
    return false;
}

}  // namespace plat
