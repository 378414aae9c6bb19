#include "strova/capture/RecordingRepair.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/Paths.h"

namespace strova::capture {
namespace {

std::string JournalDir() { return plat::StateDir() + "recordings/"; }

bool WriteNote(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) return false;
    bool ok = std::fputs(text.c_str(), f) >= 0 && std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

bool IsAvi(const std::string& file) {
    char head[12] = {};
    std::ifstream in(file, std::ios::binary);
    return in.read(head, sizeof head) && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0;
}

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

// Copies every packet of in into a new AVI file at temp; false with the
// reason on failure. Reading stops at the first damaged or missing data.
bool CopyStreams(AVFormatContext* in, const std::string& temp, const std::atomic<bool>& cancel, std::string* error) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "avi", temp.c_str()) < 0) return false;
    std::unique_ptr<AVFormatContext, OutputCloser> out(raw);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        AVStream* s = avformat_new_stream(out.get(), nullptr);
        if (!s || avcodec_parameters_copy(s->codecpar, in->streams[i]->codecpar) < 0) return false;
        s->codecpar->codec_tag = in->streams[i]->codecpar->codec_tag;
        s->time_base = in->streams[i]->time_base;
        s->avg_frame_rate = in->streams[i]->avg_frame_rate;
        s->r_frame_rate = in->streams[i]->r_frame_rate;
    }
    if (avio_open(&out->pb, temp.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out.get(), nullptr) < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    AVPacket* pkt = av_packet_alloc();
    int64_t packets = 0;
    bool ok = pkt != nullptr;
    while (ok && !cancel && av_read_frame(in, pkt) >= 0) {
        const AVRational from = in->streams[pkt->stream_index]->time_base;
        av_packet_rescale_ts(pkt, from, out->streams[pkt->stream_index]->time_base);
        pkt->pos = -1;
        ok = av_interleaved_write_frame(out.get(), pkt) >= 0;
        if (!ok && error) *error = "the copy could not be written (no room?)";
        packets += ok;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    ok = ok && !cancel && packets > 0 && av_write_trailer(out.get()) >= 0;
    if (ok) {
        avio_flush(out->pb);
        ok = out->pb->error == 0;
    }
    return ok;
}

bool SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

std::mutex g_threadMutex;
std::thread g_thread;
std::atomic<bool> g_cancel{false};

}  // namespace

std::string JournalBegin(const std::string& file) {
    static std::atomic<unsigned> counter{0};
    const std::string note = JournalDir() + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".rec";
    if (mkdir(JournalDir().c_str(), 0700) != 0 && errno != EEXIST) return "";
    return WriteNote(note, std::to_string(getpid()) + "\n" + file + "\n") ? note : "";
}

void JournalEnd(const std::string& note) {
    if (!note.empty()) unlink(note.c_str());
}

bool RepairRecording(const std::string& file, const std::atomic<bool>& cancel, std::string* error) {
    if (access(file.c_str(), F_OK) != 0 || !IsAvi(file)) return true;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) return true;  // nothing readable to save
    std::unique_ptr<AVFormatContext, InputCloser> in(raw);
    if (avformat_find_stream_info(in.get(), nullptr) < 0 || in->nb_streams == 0) return true;
    const size_t slash = file.rfind('/');
    const std::string temp = file.substr(0, slash + 1) + "." + file.substr(slash + 1) + ".repair";
    struct stat st {};
    stat(file.c_str(), &st);
    const bool ok = CopyStreams(in.get(), temp, cancel, error) && SyncFile(temp) &&
                    std::rename(temp.c_str(), file.c_str()) == 0;
    if (ok) {  // the recording keeps its time in listings sorted by date
        const timespec times[2] = {st.st_atim, st.st_mtim};
        utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}

bool HoldsPictures(const std::string& file) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) return false;
    std::unique_ptr<AVFormatContext, InputCloser> in(raw);
    if (avformat_find_stream_info(in.get(), nullptr) < 0) return false;
    const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0 || in->streams[video]->codecpar->width <= 0) return false;
    AVPacket* pkt = av_packet_alloc();
    bool found = false;
    // The first picture comes within the first few hundred packets, sound included.
    for (int i = 0; pkt && !found && i < 1000 && av_read_frame(in.get(), pkt) >= 0; ++i) {
        found = pkt->stream_index == video && pkt->size > 0;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return found;
}

bool DiscardEmptyRecording(const std::string& file) {
    if (file.empty() || access(file.c_str(), F_OK) != 0 || HoldsPictures(file)) return false;
    return std::remove(file.c_str()) == 0;
}

int RepairInterruptedRecordings(const std::atomic<bool>& cancel) {
    DIR* dir = opendir(JournalDir().c_str());
    if (!dir) return 0;
    int repaired = 0;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (cancel || name.size() < 5 || name.compare(name.size() - 4, 4, ".rec") != 0) continue;
        const std::string note = JournalDir() + name;
        // Another starting process may be repairing the same note.
        const int fd = open(note.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (fd >= 0) close(fd);
            continue;
        }
        std::ifstream in(note);
        long pid = 0;
        std::string file;
        in >> pid;
        in.ignore(1);
        std::getline(in, file);
        if (pid == getpid() || ProcessAlive(pid_t(pid))) {  // still recording
            close(fd);
            continue;
        }
        std::string why;
        if (file.empty() || RepairRecording(file, cancel, &why)) {
            unlink(note.c_str());
            repaired += !file.empty() && IsAvi(file);
        } else if (!cancel) {
            std::fprintf(stderr, "strova: could not repair the recording %s: %s\n", file.c_str(), why.c_str());
        }
        close(fd);
    }
    closedir(dir);
    return repaired;
}

void StartRepairs() {
    std::lock_guard lock(g_threadMutex);
    if (g_thread.joinable()) return;
    g_cancel = false;
    g_thread = std::thread([] { RepairInterruptedRecordings(g_cancel); });
}

void StopRepairs() {
    std::lock_guard lock(g_threadMutex);
    g_cancel = true;
    if (g_thread.joinable()) g_thread.join();
}

}  // namespace strova::capture
