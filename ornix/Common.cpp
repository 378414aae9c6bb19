#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "ornix/Internal.h"

namespace ornix {
namespace {
thread_local int g_lastError = ORNIX_OK;
}

void SetError(int code) { g_lastError = code; }

bool CheckSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        SetError(ORNIX_ERR_NOT_FORMAT);
        return false;
    }
    if (width > kMaxSide || height > kMaxSide || uint64_t(width) * uint64_t(height) > kMaxPixels) {
        SetError(ORNIX_ERR_TOO_LARGE);
        return false;
    }
    return true;
}

bool CheckDensity(uint64_t pixels, uint64_t fileSize) {
    if (pixels <= fileSize * 4096 + (uint64_t(1) << 22)) return true;
    SetError(ORNIX_ERR_TRUNCATED);
    return false;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& out) {
    if (!path) {
        SetError(ORNIX_ERR_NO_FILE);
        return false;
    }
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        SetError(ORNIX_ERR_NO_FILE);
        return false;
    }
    out.clear();
    // A regular file is read in one call into a buffer of its size; anything
    // beyond that (a file still growing, a pipe) follows in chunks.
    bool ok = true;
    try {
        struct stat st {};
        if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            out.resize(size_t(st.st_size));
            out.resize(std::fread(out.data(), 1, out.size(), f));
        }
        uint8_t buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (!ok) {
        out.clear();
        SetError(ORNIX_ERR_NO_MEMORY);
        return false;
    }
    if (readError) SetError(ORNIX_ERR_NO_FILE);
    return !readError;
}

int CreateTempBeside(const char* path, std::string& tmp) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint8_t r[6] = {};
        if (getrandom(r, sizeof r, 0) != ssize_t(sizeof r)) {
            const uint64_t t = uint64_t(getpid()) * 7919u + uint64_t(attempt) * 104729u + uint64_t(time(nullptr));
            for (int i = 0; i < 6; ++i) r[i] = uint8_t(t >> (i * 8));
        }
        tmp = std::string(path) + ".";
        for (uint8_t b : r) tmp += kChars[b % (sizeof kChars - 1)];
        // Mode 0666 lets the process's umask decide, as for any file the user creates.
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteFileAtomic(const char* path, const std::vector<uint8_t>& data) {
    return WriteFileAtomic(path, data.data(), data.size());
}

bool CommitTemp(int fd, const std::string& tmp, const char* path, bool ok) {
    ok = ok && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), path) == 0) return true;
    ::unlink(tmp.c_str());
    SetError(ORNIX_ERR_WRITE);
    return false;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += size_t(w);
    }
    return true;
}

bool WriteFileAtomic(const char* path, const uint8_t* data, size_t size) {
    if (!path || !*path) {
        SetError(ORNIX_ERR_WRITE);
        return false;
    }
    std::string tmp;
    int fd = CreateTempBeside(path, tmp);
    if (fd < 0) {
        SetError(ORNIX_ERR_WRITE);
        return false;
    }
    return CommitTemp(fd, tmp, path, WriteAll(fd, data, size));
}

}  // namespace ornix

extern "C" int GetLastVexilError(void) { return ornix::g_lastError; }
