// The formats' public test suites, read in place: every good file decodes to
// its reference picture, every damaged file is refused, and no file crashes,
// hangs or takes more memory than a few times its size. The lists under
// conformance/ name each file, what is expected of it and its reference; the
// corpus lives outside the project (TELLURA_ORNIX_CORPUS, by default
// ../shared/corpora/ornix beside the source tree) and the tests skip without it.
//
// Each file is decoded in a child process so that a crash, a hang or a large
// allocation is reported against that file and the rest still run.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "CodecUtil.h"

using namespace ornix;

namespace {

std::string CorpusDir() {
    if (const char* env = std::getenv("TELLURA_ORNIX_CORPUS")) return env;
    const char* src = std::getenv("TELLURA_SOURCE_DIR");
    return std::string(src ? src : ".") + "/../shared/corpora/ornix";
}

std::string SourceDir() {
    const char* src = std::getenv("TELLURA_SOURCE_DIR");
    return src ? src : ".";
}

// One line of a list: path, expectation, reference alternatives, options.
struct Entry {
    std::string path, expect;
    std::vector<std::string> refs;  // empty: no comparison; "self": ImageMagick's reading of the file
    double mean = -1;               // mean difference allowed instead of the format's rule
    int max = -1;                   // largest channel difference allowed
    bool srgb = false;              // the reference is read converted to sRGB (CIELab)
};

std::vector<Entry> ReadList(const std::string& name) {
    std::vector<Entry> out;
    std::ifstream in(SourceDir() + "/tests/ornix/conformance/" + name);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream ls(line);
        Entry e;
        std::string ref, opt;
        if (!(ls >> e.path >> e.expect >> ref)) continue;
        for (size_t at = 0; ref != "-";) {
            size_t bar = ref.find('|', at);
            e.refs.push_back(ref.substr(at, bar - at));
            if (bar == std::string::npos) break;
            at = bar + 1;
        }
        while (ls >> opt) {
            if (opt.rfind("mean=", 0) == 0) e.mean = std::atof(opt.c_str() + 5);
            if (opt.rfind("max=", 0) == 0) e.max = std::atoi(opt.c_str() + 4);
            if (opt == "srgb") e.srgb = true;
        }
        out.push_back(e);
    }
    return out;
}

// What a child reports about one load.
struct Result {
    std::string failure;  // crash, hang or a protocol fault; empty when the child ran to the end
    int type = 0, error = 0;
    bool loaded = false;
    long growthKb = 0;
    Image img;
};

long MaxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void WriteAll(int fd, const void* p, size_t n) {
    auto* c = static_cast<const uint8_t*>(p);
    while (n) {
        ssize_t w = ::write(fd, c, n);
        if (w <= 0) _exit(3);
        c += w, n -= size_t(w);
    }
}

[[noreturn]] void Child(int fd, const std::string& path, ORNIX_HANDLE (*load)(const char*)) {
    const long before = MaxRssKb();
    int32_t head[6] = {FileType(path.c_str()), 0, 0, 0, 0, 0};
    ORNIX_HANDLE h = load(path.c_str());
    head[1] = h ? 0 : GetLastVexilError();
    Image img;
    if (h) {
        head[2] = ReadHandleRgb(h, img) ? 1 : 0;
        plat::GlobalFree(h);
    }
    head[3] = int32_t(MaxRssKb() - before);
    head[4] = img.width, head[5] = img.height;
    WriteAll(fd, head, sizeof head);
    WriteAll(fd, img.pixels.data(), img.pixels.size());
    _exit(0);
}

// Reads n bytes before the deadline; false on a timeout or end of data.
bool ReadAll(int fd, void* p, size_t n, std::chrono::steady_clock::time_point deadline) {
    auto* c = static_cast<uint8_t*>(p);
    while (n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd pf{fd, POLLIN, 0};
        if (left <= 0 || poll(&pf, 1, int(left)) <= 0) return false;
        ssize_t r = ::read(fd, c, n);
        if (r <= 0) return false;
        c += r, n -= size_t(r);
    }
    return true;
}

Result Decode(const std::string& path, ORNIX_HANDLE (*load)(const char*), int seconds) {
    Result res;
    int fds[2];
    if (pipe(fds) != 0) return res.failure = "no pipe", res;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        Child(fds[1], path, load);
    }
    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int32_t head[6] = {};
    bool ok = ReadAll(fds[0], head, sizeof head, deadline);
    if (ok && head[2] == 1) {
        res.img.width = head[4], res.img.height = head[5], res.img.bits = 24;
        res.img.pixels.resize(size_t(head[4]) * size_t(head[5]) * 3);
        ok = ReadAll(fds[0], res.img.pixels.data(), res.img.pixels.size(), deadline);
    }
    const bool late = std::chrono::steady_clock::now() >= deadline;
    ::close(fds[0]);
    if (!ok) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && !(late && WTERMSIG(status) == SIGKILL))
        res.failure = "crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    else if (!ok)
        res.failure = late ? "took longer than " + std::to_string(seconds) + " s" : "exited early (status " + std::to_string(WEXITSTATUS(status)) + ")";
    res.type = head[0], res.error = head[1], res.loaded = head[2] == 1, res.growthKb = head[3];
    if (head[1] == 0 && head[2] != 1 && res.failure.empty()) res.failure = "load returned a handle that is not a valid image";
    return res;
}

// A picture as ImageMagick reads it: RGBA, alpha 255 where the file has none.
struct Ref {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

// A file read as its own reference is shown as its first frame on its canvas,
// turned by its orientation tag where the format's reader applies it (TIFF).
// A CMYK picture is read again converted to sRGB.
bool ReadReference(const std::string& file, bool self, bool orient, Ref& ref, bool srgb = false) {
    // A TIFF's page position is no part of its picture.
    std::string cmd = "convert '" + file + (self ? (orient ? "[0]' +repage" : "[0]' -coalesce") : "'") + (orient ? " -auto-orient" : "") +
                      (srgb ? " -colorspace sRGB" : "") + " -depth 8 pam:- 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) data.append(buf, n);
    if (pclose(p) != 0) return false;
    const size_t end = data.find("ENDHDR\n");
    if (end == std::string::npos) return false;
    std::istringstream hdr(data.substr(0, end));
    std::string key, tuple;
    int w = 0, h = 0, depth = 0, maxval = 0;
    while (hdr >> key) {
        if (key == "TUPLTYPE") hdr >> tuple;
        if (key == "WIDTH") hdr >> w;
        else if (key == "HEIGHT") hdr >> h;
        else if (key == "DEPTH") hdr >> depth;
        else if (key == "MAXVAL") hdr >> maxval;
    }
    if (tuple.rfind("CMYK", 0) == 0) return !srgb && ReadReference(file, self, orient, ref, true);
    const size_t count = size_t(w) * h;
    const auto* px = reinterpret_cast<const uint8_t*>(data.data() + end + 7);
    if (w <= 0 || h <= 0 || depth < 1 || depth > 4 || maxval != 255 || data.size() - end - 7 < count * depth) return false;
    ref.width = w, ref.height = h;
    ref.rgba.resize(count * 4);
    for (size_t i = 0; i < count; ++i, px += depth) {
        uint8_t* o = &ref.rgba[i * 4];
        const bool grey = depth <= 2;
        o[0] = px[0], o[1] = grey ? px[0] : px[1], o[2] = grey ? px[0] : px[2];
        o[3] = depth == 2 ? px[1] : depth == 4 ? px[3] : 255;
    }
    return true;
}

// Empty when the picture matches the reference within the rule; otherwise why not.
std::string Compare(const Image& img, const Ref& ref, bool lossy, const Entry& e) {
    if (img.width != ref.width || img.height != ref.height)
        return std::to_string(img.width) + "x" + std::to_string(img.height) + " against the reference's " + std::to_string(ref.width) + "x" +
               std::to_string(ref.height);
    double sum = 0;
    int worst = 0;
    size_t compared = 0;
    for (size_t i = 0; i < size_t(img.width) * img.height; ++i) {
        const uint8_t* r = &ref.rgba[i * 4];
        if (r[3] == 0) continue;  // a transparent pixel's colour is not part of the picture
        const uint8_t* g = &img.pixels[i * 3];
        for (int c = 0; c < 3; ++c) {
            int d = std::abs(int(g[2 - c]) - int(r[c]));
            sum += d, worst = std::max(worst, d);
        }
        ++compared;
    }
    const double mean = compared ? sum / double(compared * 3) : 0;
    const int maxAllowed = e.max >= 0 ? e.max : lossy || e.mean >= 0 ? 255 : 0;
    const double meanAllowed = e.mean >= 0 ? e.mean : lossy ? 2.0 : 255;
    if (worst <= maxAllowed && mean <= meanAllowed) return "";
    char msg[120];
    std::snprintf(msg, sizeof msg, "differs from the reference: mean %.2f, largest %d", mean, worst);
    return msg;
}

struct Format {
    const char* list;
    int type;
    ORNIX_HANDLE (*load)(const char*);
    bool lossy;
    bool orient = false;
};

// Runs one format's list; returns the failures, one line per file.
std::vector<std::string> Run(const Format& f, const std::string& corpus) {
    std::vector<std::string> failures;
    int good = 0, refused = 0;
    for (const Entry& e : ReadList(f.list)) {
        const std::string path = corpus + "/" + e.path;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            failures.push_back(e.path + ": listed but not in the corpus");
            continue;
        }
        Result r = Decode(path, f.load, 60);
        std::string why = r.failure;
        const long limitKb = 65536 + long(st.st_size) * 8 / 1024 + long(r.img.pixels.size()) * 4 / 1024;
        if (why.empty() && r.growthKb > limitKb)
            why = "took " + std::to_string(r.growthKb / 1024) + " MB for a " + std::to_string(st.st_size) + "-byte file";
        if (why.empty() && e.expect == "bad" && r.loaded) why = "a damaged file was loaded";
        if (why.empty() && !r.loaded && r.error == ORNIX_OK) why = "refused without an error code";
        const bool mustLoad = e.expect == "good" || e.expect == "known";
        if (why.empty() && mustLoad && !r.loaded) why = "refused with error " + std::to_string(r.error);
        if (why.empty() && mustLoad && r.type != f.type) why = "file type " + std::to_string(r.type);
        if (why.empty() && r.loaded && e.expect != "bad" && e.expect != "damaged" && !e.refs.empty()) {
            std::string best = "no reference could be read";
            for (const std::string& name : e.refs) {
                Ref ref;
                if (!ReadReference(name == "self" ? path : corpus + "/" + name, name == "self", f.orient, ref, e.srgb)) continue;
                std::string d = Compare(r.img, ref, f.lossy || (name.size() > 4 && name.substr(name.size() - 4) == ".jpg"), e);
                if (d.empty() || best.rfind("no reference", 0) == 0) best = d;
                if (d.empty()) break;
            }
            why = best;
        }
        // A known fault is reported, not failed; the list says why it stays.
        if (e.expect == "known") std::printf("  known: %s: %s\n", e.path.c_str(), why.empty() ? "passes now" : why.c_str());
        else if (!why.empty()) failures.push_back(e.path + ": " + why);
        (r.loaded ? good : refused)++;
    }
    std::printf("%s: %d loaded, %d refused, %zu failing\n", f.list, good, refused, failures.size());
    return failures;
}

void Check(const Format& f) {
    const std::string corpus = CorpusDir();
    struct stat st {};
    if (stat(corpus.c_str(), &st) != 0) GTEST_SKIP() << "the conformance corpus is not here: " << corpus;
    std::vector<std::string> failures = Run(f, corpus);
    std::string all;
    for (const std::string& s : failures) all += "  " + s + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " file(s) of " << f.list << " failed:\n" << all;
}

}  // namespace

TEST(OrnixConformance, Bmp) { Check({"bmp.txt", ORNIX_TYPE_BMP, LoadBMP, false}); }
TEST(OrnixConformance, Gif) { Check({"gif.txt", ORNIX_TYPE_GIF, LoadGIF, false}); }
TEST(OrnixConformance, Jpeg) { Check({"jpeg.txt", ORNIX_TYPE_JPEG, LoadJPG, true}); }
TEST(OrnixConformance, Pcx) { Check({"pcx.txt", ORNIX_TYPE_PCX, LoadPCX, false}); }
TEST(OrnixConformance, Tga) { Check({"tga.txt", ORNIX_TYPE_TGA, LoadTGA, false}); }
TEST(OrnixConformance, Tiff) { Check({"tiff.txt", ORNIX_TYPE_TIFF, LoadTIF, false, true}); }
