// A named POSIX shared-memory segment private to the user (the name carries the
// uid, the segment mode is 0600), mapped read-write and shared between
// processes. The segment outlives its processes until Unlink; mapping it again
// sees the same bytes. Not copyable.
#pragma once
#include <cstddef>
#include <string>

namespace plat {
class SharedSegment {
public:
    SharedSegment() = default;
    ~SharedSegment();
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    // Opens or creates the segment "name" of exactly size bytes (new ones are
    // zero-filled). A segment of another size is refused. False on failure.
    bool Open(const std::string& name, size_t size);
    void Close();                 // unmaps; the segment stays
    static bool Unlink(const std::string& name);  // removes the segment by name

    void* data() const { return data_; }
    size_t size() const { return size_; }
    bool created() const { return created_; }  // this Open created the segment

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    bool created_ = false;
};
}  // namespace plat
