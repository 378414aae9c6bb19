// Profile (INI) files; see Profile.h for the semantics.
#include "platform/Profile.h"

#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

bool RegAtomicWriteFile(const std::string& path, const std::string& data);  // in Registry.cpp

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string ResolvePath(const char* file) {
    if (std::strchr(file, '/')) return file;
    return WindowsDir() + file;
}

// One line of the file, split where it matters.
struct Line {
    std::string text;  // without the line end
    enum Kind { kOther, kSection, kEntry } kind = kOther;
    std::string name;   // section or key name
    std::string value;  // entry value, trimmed
};

Line Classify(std::string text) {
    Line l;
    l.text = std::move(text);
    std::string_view t = Trim(l.text);
    if (t.empty() || t[0] == ';') return l;
    if (t[0] == '[') {
        size_t close = t.find(']');
        if (close == std::string_view::npos) return l;
        l.kind = Line::kSection;
        l.name = Trim(t.substr(1, close - 1));
        return l;
    }
    size_t eq = t.find('=');
    l.kind = Line::kEntry;
    l.name = Trim(t.substr(0, eq));
    if (eq != std::string_view::npos) l.value = Trim(t.substr(eq + 1));
    return l;
}

struct IniFile {
    std::vector<Line> lines;
    bool crlf = true;

    bool Load(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        std::stringstream ss;
        ss << in.rdbuf();
        std::string all = ss.str();
        if (all.starts_with("\xEF\xBB\xBF")) all.erase(0, 3);
        size_t firstNl = all.find('\n');
        crlf = firstNl == std::string::npos || (firstNl > 0 && all[firstNl - 1] == '\r');
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find('\n', pos);
            if (end == std::string::npos) end = all.size();
            std::string text = all.substr(pos, end - pos);
            if (!text.empty() && text.back() == '\r') text.pop_back();
            lines.push_back(Classify(std::move(text)));
            pos = end + 1;
        }
        return true;
    }

    std::string Text() const {
        std::string out;
        for (const Line& l : lines) {
            out += l.text;
            out += crlf ? "\r\n" : "\n";
        }
        return out;
    }

    // Index of the section header, or -1.
    long FindSection(std::string_view section) const {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Line::kSection && SameName(lines[i].name, section)) return long(i);
        return -1;
    }
    // One past the last line of the section starting at header.
    size_t SectionEnd(long header) const {
        size_t i = size_t(header) + 1;
        while (i < lines.size() && lines[i].kind != Line::kSection) ++i;
        return i;
    }
    long FindKey(long header, std::string_view key) const {
        if (header < 0) return -1;
        for (size_t i = size_t(header) + 1, end = SectionEnd(header); i < end; ++i)
            if (lines[i].kind == Line::kEntry && SameName(lines[i].name, key)) return long(i);
        return -1;
    }
    const std::string* Value(const char* section, const char* key) const {
        long k = FindKey(FindSection(section), key);
        return k < 0 ? nullptr : &lines[size_t(k)].value;
    }
};

// Copies a zero-separated, zero-terminated list into out (Windows rules).
DWORD CopyList(const std::vector<std::string>& names, char* out, DWORD size) {
    if (size < 2) {
        if (size == 1) out[0] = '\0';
        return 0;
    }
    DWORD pos = 0;
    for (const std::string& n : names) {
        for (char c : n) {
            if (pos + 2 >= size) {
                out[pos] = '\0';
                out[pos + 1] = '\0';
                return size - 2;
            }
            out[pos++] = c;
        }
        if (pos + 2 >= size) {
            out[pos] = '\0';
            out[pos + 1] = '\0';
            return size - 2;
        }
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    return pos;
}

DWORD CopyText(std::string_view text, char* out, DWORD size) {
    DWORD n = DWORD(std::min<size_t>(text.size(), size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return n;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Holds flock on the file itself for one read-modify-write, so writers in
// two processes never lose each other's change. A writer that replaced the
// file while we waited leaves us holding the old inode: lock the new one.
class IniLock {
public:
    explicit IniLock(const std::string& path) {
        for (int tries = 0; tries < 100; ++tries) {
            fd_ = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
            if (fd_ < 0) return;  // no folder yet: nobody else can be writing
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
            struct stat held, now;
            if (fstat(fd_, &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_ino == now.st_ino &&
                held.st_dev == now.st_dev)
                return;
            close(fd_);
            fd_ = -1;
        }
    }
    ~IniLock() {
        if (fd_ >= 0) close(fd_);
    }
    IniLock(const IniLock&) = delete;
    IniLock& operator=(const IniLock&) = delete;

private:
    int fd_ = -1;
};

bool WriteBack(const std::string& path, const IniFile& ini) { return RegAtomicWriteFile(path, ini.Text()); }

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out, DWORD size,
                               const char* file) {
    if (!out || size == 0) return 0;
    IniFile ini;
    bool loaded = file && ini.Load(ResolvePath(file));
    if (!section || !key) {
        std::vector<std::string> names;
        long header = section && loaded ? ini.FindSection(section) : -1;
        if (!section) {
            for (const Line& l : ini.lines)
                if (l.kind == Line::kSection) names.push_back(l.name);
        } else if (header >= 0) {
            for (size_t i = size_t(header) + 1, end = ini.SectionEnd(header); i < end; ++i)
                if (ini.lines[i].kind == Line::kEntry) names.push_back(ini.lines[i].name);
        }
        return CopyList(names, out, size);
    }
    const std::string* v = loaded ? ini.Value(section, key) : nullptr;
    if (v) return CopyText(Unquote(*v), out, size);
    std::string_view d = def ? def : "";
    while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
    return CopyText(d, out, size);
}

UINT GetPrivateProfileIntA(const char* section, const char* key, int def, const char* file) {
    if (!section || !key || !file) return UINT(def);
    IniFile ini;
    const std::string* v = ini.Load(ResolvePath(file)) ? ini.Value(section, key) : nullptr;
    if (!v || v->empty()) return UINT(def);
    const char* p = v->c_str();
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    UINT n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) n = n * 10 + UINT(*p - '0');
    return negative ? 0u - n : n;
}

BOOL GetPrivateProfileStructA(const char* section, const char* key, void* out, UINT size, const char* file) {
    if (!section || !key || !out || !file) return FALSE;
    IniFile ini;
    const std::string* v = ini.Load(ResolvePath(file)) ? ini.Value(section, key) : nullptr;
    if (!v || v->size() != size_t(size) * 2 + 2) return FALSE;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::vector<unsigned char> bytes(size_t(size) + 1);
    unsigned sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = hex((*v)[2 * i]), lo = hex((*v)[2 * i + 1]);
        if (hi < 0 || lo < 0) return FALSE;
        bytes[i] = (unsigned char)(hi * 16 + lo);
        if (i < size) sum += bytes[i];
    }
    if ((sum & 0xff) != bytes[size]) return FALSE;
    std::memcpy(out, bytes.data(), size);
    return TRUE;
}

std::string FormatProfileStruct(const void* data, UINT size) {
    static const char kDigits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    unsigned sum = 0;
    for (UINT i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
        sum += bytes[i];
    }
    text += kDigits[(sum >> 4) & 15];
    text += kDigits[sum & 15];
    return text;
}

BOOL WritePrivateProfileStructA(const char* section, const char* key, const void* data, UINT size,
                                const char* file) {
    if (!key) return WritePrivateProfileStringA(section, nullptr, nullptr, file);
    if (!data) return WritePrivateProfileStringA(section, key, nullptr, file);
    return WritePrivateProfileStringA(section, key, FormatProfileStruct(data, size).c_str(), file);
}

namespace {

bool BadName(const char* section, const char* key, const char* value) {
    return std::strpbrk(section, "\r\n]") || (key && std::strpbrk(key, "\r\n=")) ||
           (value && std::strpbrk(value, "\r\n"));
}

// Sets key = value in section, adding the section and key where missing.
void SetKey(IniFile& ini, const char* section, const char* key, const char* value) {
    long header = ini.FindSection(section);
    long k = ini.FindKey(header, key);
    if (k >= 0) {
        ini.lines[size_t(k)] = Classify(ini.lines[size_t(k)].name + "=" + value);
        return;
    }
    if (header < 0) {
        ini.lines.push_back(Classify(std::string("[") + section + "]"));
        header = long(ini.lines.size()) - 1;
    }
    size_t at = ini.SectionEnd(header);
    while (at > size_t(header) + 1 && Trim(ini.lines[at - 1].text).empty()) --at;  // before blank lines
    ini.lines.insert(ini.lines.begin() + long(at), Classify(std::string(key) + "=" + value));
}

}  // namespace

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file) {
    if (!section || !file || BadName(section, key, value)) return FALSE;
    std::string path = ResolvePath(file);
    IniLock lock(path);
    IniFile ini;
    if (!ini.Load(path) && access(path.c_str(), F_OK) == 0) return FALSE;  // never replace an unreadable file
    long header = ini.FindSection(section);
    if (!key) {
        if (header < 0) return TRUE;
        ini.lines.erase(ini.lines.begin() + header, ini.lines.begin() + long(ini.SectionEnd(header)));
        return WriteBack(path, ini) ? TRUE : FALSE;
    }
    if (!value) {
        long k = ini.FindKey(header, key);
        if (k < 0) return TRUE;
        ini.lines.erase(ini.lines.begin() + k);
        return WriteBack(path, ini) ? TRUE : FALSE;
    }
    SetKey(ini, section, key, value);
    return WriteBack(path, ini) ? TRUE : FALSE;
}

BOOL WritePrivateProfileValues(const char* section, const std::vector<std::pair<std::string, std::string>>& values,
                               const char* file) {
    if (!section || !file) return FALSE;
    for (const auto& [k, v] : values)
        if (BadName(section, k.c_str(), v.c_str())) return FALSE;
    std::string path = ResolvePath(file);
    IniLock lock(path);
    IniFile ini;
    if (!ini.Load(path) && access(path.c_str(), F_OK) == 0) return FALSE;
    for (const auto& [k, v] : values) SetKey(ini, section, k.c_str(), v.c_str());
    return WriteBack(path, ini) ? TRUE : FALSE;
}

}  // namespace plat
