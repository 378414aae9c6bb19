// POSIX shared memory named per user, so that two users' processes never
// share state and another user cannot plant a segment under our name.
#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace plat {
namespace {
std::string SegmentName(const std::string& name) {
    std::string clean;
    for (char c : name) clean += (c == '/' ? '_' : c);
    return "/quorvel-" + std::to_string(geteuid()) + "-" + clean;
}
}  // namespace

SharedSegment::~SharedSegment() { Close(); }

bool SharedSegment::Open(const std::string& name, size_t size) {
    Close();
    if (name.empty() || size == 0) return false;
    std::string shm = SegmentName(name);
    bool created = true;
    int fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = shm_open(shm.c_str(), O_RDWR | O_CLOEXEC, 0600);
    }
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && st.st_uid == geteuid();
    // The creator sizes the segment right after creating it; give it a moment.
    for (int i = 0; ok && !created && st.st_size == 0 && i < 200; ++i) {
        usleep(1000);
        ok = fstat(fd, &st) == 0;
    }
    // A creator that died before sizing leaves a 0-byte segment: size it now.
    if (ok && (created || st.st_size == 0)) ok = ftruncate(fd, off_t(size)) == 0;
    else if (ok) ok = size_t(st.st_size) == size;
    void* p = ok ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    if (p == MAP_FAILED) {
        if (created) shm_unlink(shm.c_str());
        return false;
    }
    data_ = p;
    size_ = size;
    created_ = created || st.st_size == 0;
    return true;
}

void SharedSegment::Close() {
    if (data_) munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
    created_ = false;
}

bool SharedSegment::Unlink(const std::string& name) { return shm_unlink(SegmentName(name).c_str()) == 0; }

}  // namespace plat
