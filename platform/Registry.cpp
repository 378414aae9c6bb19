// Registry store over one .reg text file; see Registry.h for the semantics.
#include "platform/Registry.h"

#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plat {

bool RegAtomicWriteFile(const std::string& path, const std::string& data);  // shared with Profile.cpp

struct RegKeyObject {
    std::string path;  // full path, root name first
    struct Op {
        enum Kind { kSet, kErase, kCreate } kind;
        unsigned long seq;
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Op> ops;  // changes not yet in the file
    bool isRoot = false;
};

namespace {

RegKeyObject g_hklm{"HKEY_LOCAL_MACHINE", {}, true};

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool HasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; });
}

// ---- in-memory model ----------------------------------------------------

struct Value {
    std::string name;
    DWORD type;
    std::string data;
};

struct Key {
    std::string path;
    std::vector<Value> values;
    std::unordered_map<std::string, size_t> byName;  // lower-case name -> position

    Value* Find(std::string_view name) {
        auto it = byName.find(Lower(name));
        return it == byName.end() ? nullptr : &values[it->second];
    }
    void Set(std::string_view name, DWORD type, std::string data) {
        if (Value* v = Find(name)) {
            v->type = type;
            v->data = std::move(data);
            return;
        }
        byName.emplace(Lower(name), values.size());
        values.push_back({std::string(name), type, std::move(data)});
    }
    bool Erase(std::string_view name) {
        auto it = byName.find(Lower(name));
        if (it == byName.end()) return false;
        values.erase(values.begin() + long(it->second));
        byName.clear();
        for (size_t i = 0; i < values.size(); ++i) byName.emplace(Lower(values[i].name), i);
        return true;
    }
};

// Lets the path index be searched with parts of one lower-cased path.
struct ViewHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct Model {
    std::vector<Key> keys;  // file order
    std::unordered_map<std::string, size_t, ViewHash, std::equal_to<>> byPath;

    Key* Find(std::string_view path) { return FindLower(Lower(path)); }
    Key* FindLower(std::string_view low) {
        auto it = byPath.find(low);
        return it == byPath.end() ? nullptr : &keys[it->second];
    }
    // Finds or creates path and every parent below its root: from the nearest
    // level that exists (usually the parent, as files list keys in order),
    // each missing level in turn. Existing levels keep their stored spelling.
    Key& Ensure(std::string_view path) {
        const std::string low = Lower(path);
        if (Key* k = FindLower(low)) return *k;
        std::string stored;
        size_t start = 0;
        for (size_t cut = path.rfind('\\'); cut != std::string_view::npos && cut > 0;
             cut = path.rfind('\\', cut - 1)) {
            if (Key* k = FindLower(std::string_view(low).substr(0, cut))) {
                stored = k->path;
                start = cut + 1;
                break;
            }
        }
        for (;;) {
            const size_t cut = path.find('\\', start);
            const std::string_view name = path.substr(start, cut == std::string_view::npos ? cut : cut - start);
            stored = start == 0 ? std::string(name) : stored + "\\" + std::string(name);
            byPath.emplace(low.substr(0, start + name.size()), keys.size());
            keys.push_back({stored, {}, {}});
            if (cut == std::string_view::npos) return keys.back();
            start = cut + 1;
        }
    }
    void RemoveTree(std::string_view path) {
        std::string low = Lower(path), prefix = low + "\\";
        std::erase_if(keys, [&](const Key& k) {
            std::string kl = Lower(k.path);
            return kl == low || kl.compare(0, prefix.size(), prefix) == 0;
        });
        byPath.clear();
        for (size_t i = 0; i < keys.size(); ++i) byPath.emplace(Lower(keys[i].path), i);
    }
    void Apply(const std::string& path, const RegKeyObject::Op& op) {
        Key& k = Ensure(path);
        if (op.kind == RegKeyObject::Op::kSet) k.Set(op.name, op.type, op.data);
        if (op.kind == RegKeyObject::Op::kErase) k.Erase(op.name);
    }
};

// ---- text format --------------------------------------------------------

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Reads a quoted text with \\ and \" escapes starting at s[0] == '"'.
// Leaves s after the closing quote.
bool ParseQuoted(std::string_view& s, std::string& out) {
    if (s.empty() || s[0] != '"') return false;
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (++i == s.size()) return false;
            c = s[i];
            if (c != '\\' && c != '"') return false;
        }
        out += c;
    }
    return false;  // unterminated
}

bool ParseHexList(std::string_view s, std::string& out) {
    out.clear();
    s = Trim(s);
    while (!s.empty()) {
        std::string_view item = s.substr(0, s.find(','));
        s.remove_prefix(std::min(s.size(), item.size() + 1));
        item = Trim(item);
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return false;
        out += char(HexDigit(item[0]) * 16 + HexDigit(item[1]));
        if (out.size() > kRegMaxData) return false;
    }
    return true;
}

// Parses the right-hand side of a value line. remove = "-" (value deletion).
bool ParseData(std::string_view s, DWORD& type, std::string& data, bool& remove) {
    remove = false;
    if (s == "-") return remove = true;
    if (!s.empty() && s[0] == '"') {
        if (!ParseQuoted(s, data) || !Trim(s).empty()) return false;
        data += '\0';
        type = REG_SZ;
        return true;
    }
    if (s.starts_with("dword:")) {
        s.remove_prefix(6);
        if (s.size() != 8) return false;
        uint32_t v = 0;
        for (char c : s) {
            if (HexDigit(c) < 0) return false;
            v = v * 16 + uint32_t(HexDigit(c));
        }
        data.assign(reinterpret_cast<const char*>(&v), 4);
        type = REG_DWORD;
        return true;
    }
    if (s.starts_with("hex:")) {
        type = REG_BINARY;
        return ParseHexList(s.substr(4), data);
    }
    if (s.starts_with("hex(")) {
        size_t close = s.find("):");
        if (close == std::string_view::npos || close < 5 || close > 12) return false;
        type = 0;
        for (char c : s.substr(4, close - 4)) {
            if (HexDigit(c) < 0) return false;
            type = type * 16 + DWORD(HexDigit(c));
        }
        return ParseHexList(s.substr(close + 2), data);
    }
    return false;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Windows' own exports are UTF-16LE with a byte-order mark; they are read as
// UTF-8 text. False on an odd length or a broken surrogate pair.
bool Utf16ToUtf8(std::string_view in, std::string& out) {
    if (in.size() % 2) return false;
    out.clear();
    for (size_t i = 2; i < in.size(); i += 2) {
        uint32_t c = uint8_t(in[i]) | uint32_t(uint8_t(in[i + 1])) << 8;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 3 >= in.size()) return false;
            uint32_t lo = uint8_t(in[i + 2]) | uint32_t(uint8_t(in[i + 3])) << 8;
            if (lo < 0xDC00 || lo >= 0xE000) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c < 0xE000) {
            return false;
        }
        AppendUtf8(out, c);
    }
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool Run(Model& out) {
        if (text_.starts_with("\xFF\xFE")) {
            if (!Utf16ToUtf8(text_, wide_)) return false;
            text_ = wide_;
        }
        if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);
        std::string_view line;
        while (NextLine(line) && Trim(line).empty()) {
        }
        line = Trim(line);
        if (line != kHeader5 && line != kHeader4) return false;
        Key* current = nullptr;
        bool skipping = false;  // inside a deleted-key section
        while (NextLine(line)) {
            line = Trim(line);
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                if (!Section(line, out, current, skipping)) return false;
                continue;
            }
            std::string full(line);
            while (!full.empty() && full.back() == '\\') {  // hex continuation
                full.pop_back();
                if (!NextLine(line)) return false;
                full += Trim(line);
            }
            if ((!current && !skipping) || !ValueLine(full, current)) return false;
        }
        return true;
    }

private:
    bool NextLine(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return true;
    }

    static bool Section(std::string_view line, Model& out, Key*& current, bool& skipping) {
        if (line.size() < 3 || line.back() != ']') return false;
        std::string_view path = line.substr(1, line.size() - 2);
        skipping = path[0] == '-';
        if (skipping) {
            out.RemoveTree(Collapsed(path.substr(1)));
            current = nullptr;
            return true;
        }
        if (path.front() == '\\' || path.back() == '\\' || HasControl(path)) return false;
        const std::string collapsed = Collapsed(path);
        if (size_t(std::count(collapsed.begin(), collapsed.end(), '\\')) > kRegMaxDepth) return false;
        current = &out.Ensure(collapsed);
        return true;
    }

    // A key path with runs of backslashes (empty names, which no call can
    // create) reduced to single ones, so the file written back parses again.
    static std::string Collapsed(std::string_view path) {
        std::string out;
        for (char c : path)
            if (c != '\\' || out.empty() || out.back() != '\\') out += c;
        return out;
    }

    static bool ValueLine(std::string_view line, Key* current) {
        std::string name;
        if (line[0] == '@') {
            line.remove_prefix(1);
        } else if (!ParseQuoted(line, name)) {
            return false;
        }
        line = Trim(line);
        if (line.empty() || line[0] != '=') return false;
        DWORD type = 0;
        std::string data;
        bool remove = false;
        if (!ParseData(Trim(line.substr(1)), type, data, remove)) return false;
        if (!current) return true;  // value of a deleted key
        if (remove)
            current->Erase(name);
        else
            current->Set(name, type, std::move(data));
        return true;
    }

    std::string_view text_;
    std::string wide_;  // converted UTF-16 input
    size_t pos_ = 0;
};

void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

bool IsPlainText(const std::string& d) {
    if (d.empty() || d.back() != '\0') return false;
    return std::none_of(d.begin(), d.end() - 1, [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

void AppendHex(std::string& out, const std::string& data, size_t column) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        unsigned char b = (unsigned char)data[i];
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        column += 2;
        if (i + 1 == data.size()) break;
        out += ',';
        ++column;
        if (column > 76) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
}

void AppendValue(std::string& out, const Value& v) {
    size_t start = out.size();
    if (v.name.empty())
        out += '@';
    else
        AppendQuoted(out, v.name);
    out += '=';
    if (v.type == REG_SZ && IsPlainText(v.data)) {
        AppendQuoted(out, std::string_view(v.data).substr(0, v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n;
        std::memcpy(&n, v.data.data(), 4);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else {
        char buf[24];
        if (v.type == REG_BINARY)
            std::snprintf(buf, sizeof buf, "hex:");
        else
            std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
        out += buf;
        AppendHex(out, v.data, out.size() - start);
    }
    out += "\r\n";
}

std::string Serialize(const Model& m) {
    std::string out(kHeader5);
    out += "\r\n\r\n";
    for (const Key& k : m.keys) {
        out += '[';
        out += k.path;
        out += "]\r\n";
        for (const Value& v : k.values) AppendValue(out, v);
        out += "\r\n";
    }
    return out;
}

// ---- the file -----------------------------------------------------------

struct Stamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const Stamp& o) const {
        if (exists != o.exists) return false;
        if (!exists) return true;
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

Stamp StampOf(const struct stat& st) {
    Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

Stamp StampPath(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? StampOf(st) : Stamp{};
}

std::string StorePath() { return ConfigDir() + "registry.reg"; }

void MakeDirs(const std::string& dir) {
    for (size_t p = 1; p != std::string::npos; p = dir.find('/', p + 1)) mkdir(dir.substr(0, p).c_str(), 0700);
    mkdir(dir.c_str(), 0700);
}

std::string Dir(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Holds the store's advisory lock for its lifetime.
class FileLock {
public:
    explicit FileLock(const std::string& store) {
        MakeDirs(Dir(store));
        fd_ = open((store + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FileLock() {
        if (fd_ >= 0) close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

// Reads the whole file; returns false when it does not exist.
bool ReadWhole(const std::string& path, std::string& text, Stamp& stamp) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok) {
        stamp = StampOf(st);
        text.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < text.size()) {
            ssize_t n = read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        text.resize(got);
    }
    close(fd);
    return ok;
}

// Temporary files of writers killed mid-write. Called under the lock, when no
// writer can be busy with its own.
void RemoveStaleTemps(const std::string& path) {
    std::string dir = Dir(path), prefix = path.substr(dir.size() + 1) + ".tmp-";
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d))
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0) unlinkat(dirfd(d), e->d_name, 0);
    closedir(d);
}

void SetAside(const std::string& path) {
    char stampText[32];
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    strftime(stampText, sizeof stampText, "%Y%m%d-%H%M%S", &tmv);
    std::string target = path + ".bad-" + stampText;
    for (int n = 2; access(target.c_str(), F_OK) == 0 && n < 1000; ++n)
        target = path + ".bad-" + stampText + "-" + std::to_string(n);
    if (rename(path.c_str(), target.c_str()) != 0) unlink(path.c_str());
    std::fprintf(stderr, "registry: %s was damaged; kept as %s\n", path.c_str(), target.c_str());
}

// ---- the process-wide store ------------------------------------------------

class Store {
public:
    std::mutex mu;

    // The object behind a handle, or null for an unknown one. The root is a
    // fixed value (as on Windows), so every copy of this store linked into
    // one process recognises it.
    HKEY Resolve(HKEY h) const {
        if (h == HKEY_LOCAL_MACHINE) return &g_hklm;
        return h && handles_.count(h) ? h : nullptr;
    }
    Model& View() { return view_; }
    const std::string& File() const { return file_; }

    // Brings the cache up to date with the file.
    void Refresh(bool locked) {
        std::string path = StorePath();
        if (path != file_) {
            file_ = path;
            disk_ = Model{};
            stamp_ = Stamp{};
            RebuildView();
        }
        Stamp now = StampPath(file_);
        if (now == stamp_ && !stale_) return;
        std::string text;
        Stamp read;
        Model parsed;
        if (!ReadWhole(file_, text, read)) {
            Replace(Model{}, Stamp{});
        } else if (text.empty() || Parser(text).Run(parsed)) {
            Replace(std::move(parsed), read);
        } else if (!locked) {
            FileLock lock(file_);
            Refresh(true);
        } else {
            SetAside(file_);
            Replace(Model{}, Stamp{});
        }
    }

    HKEY NewHandle(const std::string& path) {
        auto* h = new RegKeyObject{path, {}, false};
        handles_.insert(h);
        return h;
    }

    // A handle without pending changes leaves the view as it is.
    void FreeHandle(HKEY h) {
        const bool pending = !h->ops.empty();
        handles_.erase(h);
        delete h;
        if (pending) RebuildView();
    }

    void Record(HKEY h, RegKeyObject::Op op) {
        op.seq = ++seq_;
        view_.Apply(h->path, op);
        h->ops.push_back(std::move(op));
    }

    // Writes ops of h (all of them) to the file under the lock, merging with
    // what other processes wrote meanwhile.
    long Commit(HKEY h) {
        if (h->ops.empty()) return ERROR_SUCCESS;
        FileLock lock(StorePath());
        Refresh(true);
        if (AlreadyOnDisk(h)) {  // nothing would change: spare the write
            h->ops.clear();
            RebuildView();
            return ERROR_SUCCESS;
        }
        RemoveStaleTemps(file_);
        Model next = disk_;
        for (const auto& op : h->ops) next.Apply(h->path, op);
        if (!RegAtomicWriteFile(file_, Serialize(next))) {
            stale_ = true;
            return ERROR_CANTWRITE;
        }
        h->ops.clear();
        Replace(std::move(next), StampPath(file_));
        return ERROR_SUCCESS;
    }

private:
    bool AlreadyOnDisk(HKEY h) {
        Key* k = disk_.Find(h->path);
        if (!k) return false;
        return std::all_of(h->ops.begin(), h->ops.end(), [&](const RegKeyObject::Op& op) {
            const Value* v = k->Find(op.name);
            if (op.kind == RegKeyObject::Op::kCreate) return true;
            if (op.kind == RegKeyObject::Op::kErase) return v == nullptr;
            return v && v->type == op.type && v->data == op.data;
        });
    }

    void Replace(Model m, Stamp s) {
        disk_ = std::move(m);
        stamp_ = s;
        stale_ = false;
        RebuildView();
    }

    // view = file contents + every open handle's pending changes, in order.
    void RebuildView() {
        view_ = disk_;
        std::vector<std::pair<const RegKeyObject::Op*, const std::string*>> pending;
        auto collect = [&](const RegKeyObject* h) {
            for (const auto& op : h->ops) pending.push_back({&op, &h->path});
        };
        collect(&g_hklm);
        for (const RegKeyObject* h : handles_) collect(h);
        std::sort(pending.begin(), pending.end(), [](auto& a, auto& b) { return a.first->seq < b.first->seq; });
        for (auto& [op, path] : pending) view_.Apply(*path, *op);
    }

    std::string file_;
    Model disk_, view_;
    Stamp stamp_;
    bool stale_ = false;
    unsigned long seq_ = 0;
    std::set<HKEY> handles_;
};

Store& TheStore() {
    static Store* store = new Store;  // never destroyed: handles may outlive statics
    return *store;
}

// Validates subKey and appends it to base; false when it is malformed.
bool JoinPath(const std::string& base, const char* subKey, std::string& out) {
    out = base;
    if (!subKey || !*subKey) return true;
    std::string_view rest(subKey);
    for (size_t depth = size_t(std::count(base.begin(), base.end(), '\\')) + 1;; ++depth) {
        std::string_view part = rest.substr(0, rest.find('\\'));
        if (part.empty() || part.size() > kRegMaxName || part == "." || part == ".." || HasControl(part) ||
            depth > kRegMaxDepth)
            return false;
        out += '\\';
        out += part;
        if (part.size() == rest.size()) return true;
        rest.remove_prefix(part.size() + 1);
    }
}

bool ValidValueName(const char* name) {
    std::string_view n(name ? name : "");
    return n.size() <= kRegMaxName && !HasControl(n);
}

long OpenKey(HKEY root, const char* subKey, HKEY* result, bool create) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    root = s.Resolve(root);
    if (!root) return ERROR_INVALID_HANDLE;
    std::string path;
    if (!JoinPath(root->path, subKey, path)) return ERROR_INVALID_PARAMETER;
    s.Refresh(false);
    if (Key* k = s.View().Find(path)) {
        *result = s.NewHandle(k->path);
        return ERROR_SUCCESS;
    }
    if (!create) return ERROR_FILE_NOT_FOUND;
    HKEY h = s.NewHandle(path);
    s.Record(h, {RegKeyObject::Op::kCreate, 0, {}, 0, {}});
    long rc = s.Commit(h);
    if (rc != ERROR_SUCCESS) {
        s.FreeHandle(h);
        return rc;
    }
    *result = h;
    return ERROR_SUCCESS;
}

}  // namespace

HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002));

bool RegAtomicWriteFile(const std::string& path, const std::string& data) {
    MakeDirs(Dir(path));
    return AtomicWriteFile(path, data, 0600);
}

long RegCreateKeyExA(HKEY root, const char* subKey, HKEY* result) { return OpenKey(root, subKey, result, true); }

long RegOpenKeyExA(HKEY root, const char* subKey, HKEY* result) { return OpenKey(root, subKey, result, false); }

long RegQueryValueExA(HKEY key, const char* name, DWORD* type, uint8_t* data, DWORD* size) {
    if (data && !size) return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    key = s.Resolve(key);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!ValidValueName(name)) return ERROR_INVALID_PARAMETER;
    s.Refresh(false);
    Key* k = s.View().Find(key->path);
    Value* v = k ? k->Find(name ? name : "") : nullptr;
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    DWORD need = DWORD(v->data.size());
    if (!size) return ERROR_SUCCESS;
    if (data && *size < need) {
        *size = need;
        return ERROR_MORE_DATA;
    }
    if (data) std::memcpy(data, v->data.data(), need);
    *size = need;
    return ERROR_SUCCESS;
}

long RegSetValueExA(HKEY key, const char* name, DWORD type, const uint8_t* data, DWORD size) {
    if ((!data && size) || size > kRegMaxData || !ValidValueName(name)) return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    key = s.Resolve(key);
    if (!key) return ERROR_INVALID_HANDLE;
    if (s.File().empty()) s.Refresh(false);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    s.Record(key, {RegKeyObject::Op::kSet, 0, name ? name : "", type, std::move(bytes)});
    return key->isRoot ? s.Commit(key) : ERROR_SUCCESS;
}

long RegDeleteValueA(HKEY key, const char* name) {
    if (!ValidValueName(name)) return ERROR_INVALID_PARAMETER;
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    key = s.Resolve(key);
    if (!key) return ERROR_INVALID_HANDLE;
    s.Refresh(false);
    Key* k = s.View().Find(key->path);
    if (!k || !k->Find(name ? name : "")) return ERROR_FILE_NOT_FOUND;
    s.Record(key, {RegKeyObject::Op::kErase, 0, name ? name : "", 0, {}});
    return key->isRoot ? s.Commit(key) : ERROR_SUCCESS;
}

long RegFlushKey(HKEY key) {
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    key = s.Resolve(key);
    if (!key) return ERROR_INVALID_HANDLE;
    return s.Commit(key);
}

long RegCloseKey(HKEY key) {
    Store& s = TheStore();
    std::lock_guard guard(s.mu);
    key = s.Resolve(key);
    if (!key) return ERROR_INVALID_HANDLE;
    if (key->isRoot) return ERROR_SUCCESS;
    long rc = s.Commit(key);
    s.FreeHandle(key);
    return rc;
}

const char* RegistryFilePath() {
    static thread_local std::string path;
    path = StorePath();
    return path.c_str();
}

}  // namespace plat
