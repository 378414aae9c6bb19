// The desktop wallpaper through each desktop's setting tool.
#include "lumora/Wallpaper.h"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/Paths.h"

namespace lumora {

namespace {

using Args = std::vector<std::string>;

// Runs a tool found on PATH and waits for it; true when it exited with 0.
bool Run(const Args& args, std::string* out = nullptr) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    gchar* text = nullptr;
    gint status = -1;
    const GSpawnFlags flags = GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL |
                                          (out ? 0 : G_SPAWN_STDOUT_TO_DEV_NULL));
    const bool started = g_spawn_sync(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, out ? &text : nullptr,
                                      nullptr, &status, nullptr);
    if (out) *out = text ? text : "";
    g_free(text);
    return started && g_spawn_check_wait_status(status, nullptr);
}

std::string FileUri(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string s = uri ? uri : "";
    g_free(uri);
    return s;
}

bool HasKey(const std::string& schema, const std::string& key) {
    std::string keys;
    if (!Run({"gsettings", "list-keys", schema}, &keys)) return false;
    std::istringstream lines(keys);
    for (std::string line; std::getline(lines, line);)
        if (line == key) return true;
    return false;
}

bool SetGnome(const std::string& path) {
    const std::string schema = "org.gnome.desktop.background", uri = FileUri(path);
    if (!Run({"gsettings", "set", schema, "picture-uri", uri})) return false;
    // Since GNOME 42 the dark style shows its own picture.
    if (HasKey(schema, "picture-uri-dark") && !Run({"gsettings", "set", schema, "picture-uri-dark", uri}))
        return false;
    return true;
}

bool SetCinnamon(const std::string& path) {
    return Run({"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", FileUri(path)});
}

bool SetMate(const std::string& path) {
    return Run({"gsettings", "set", "org.mate.background", "picture-filename", path});
}

// Every "last-image" property names the picture of one monitor and workspace.
bool SetXfce(const std::string& path) {
    std::string list;
    if (!Run({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &list)) return false;
    std::vector<std::string> props;
    std::istringstream lines(list);
    const std::string tail = "/last-image";
    for (std::string line; std::getline(lines, line);)
        if (line.size() > tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            props.push_back(line);
    if (props.empty())
        return Run({"xfconf-query", "-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitor0/workspace0/last-image",
                    "-n", "-t", "string", "-s", path});
    bool ok = true;
    for (const std::string& p : props) ok = Run({"xfconf-query", "-c", "xfce4-desktop", "-p", p, "-s", path}) && ok;
    return ok;
}

bool SetKde(const std::string& path) { return Run({"plasma-apply-wallpaperimage", path}); }

// A plain X11 session: the first root-window setter that is installed.
bool SetRootWindow(const std::string& path) {
    const char* display = getenv("DISPLAY");
    if (!display || !*display) return false;
    const Args setters[] = {{"feh", "--no-fehbg", "--bg-fill", path},
                            {"xwallpaper", "--zoom", path},
                            {"hsetroot", "-fill", path},
                            {"xsetbg", path}};
    for (const Args& a : setters)
        if (Run(a)) return true;
    return false;
}

enum class Desktop { Gnome, Cinnamon, Mate, Xfce, Kde, Other };

// XDG_CURRENT_DESKTOP is a colon-separated list, most specific first.
Desktop CurrentDesktop() {
    const char* value = getenv("XDG_CURRENT_DESKTOP");
    std::istringstream names(value ? value : "");
    for (std::string n; std::getline(names, n, ':');) {
        std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(toupper(c)); });
        if (n == "X-CINNAMON" || n == "CINNAMON") return Desktop::Cinnamon;
        if (n == "MATE") return Desktop::Mate;
        if (n == "XFCE") return Desktop::Xfce;
        if (n == "KDE") return Desktop::Kde;
        if (n == "GNOME" || n == "UNITY" || n == "BUDGIE" || n == "PANTHEON" || n == "GNOME-FLASHBACK")
            return Desktop::Gnome;
    }
    return Desktop::Other;
}

// "dir/NAME.EXT" -> "dir/NAME-<n>.EXT"
std::string Numbered(const std::string& path, int n) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const size_t cut = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    return path.substr(0, cut) + "-" + std::to_string(n) + path.substr(cut);
}

bool CopyFile(const std::string& from, const std::string& to) {
    gchar* data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(from.c_str(), &data, &size, nullptr)) return false;
    const bool ok = plat::AtomicWriteFile(to, std::string(data, size));
    g_free(data);
    return ok;
}

}  // namespace

bool SetDesktopWallpaper(const std::string& path) {
    bool (*setter)(const std::string&) = nullptr;
    switch (CurrentDesktop()) {
    case Desktop::Gnome: setter = SetGnome; break;
    case Desktop::Cinnamon: setter = SetCinnamon; break;
    case Desktop::Mate: setter = SetMate; break;
    case Desktop::Xfce: setter = SetXfce; break;
    case Desktop::Kde: setter = SetKde; break;
    case Desktop::Other: return SetRootWindow(path);  // re-reads the file each time
    }
    // The desktop reloads only a setting that changed: name a fresh copy.
    const std::string one = Numbered(path, 1), two = Numbered(path, 2);
    const bool useTwo = access(one.c_str(), F_OK) == 0;
    const std::string fresh = useTwo ? two : one, old = useTwo ? one : two;
    if (!CopyFile(path, fresh)) return false;
    if (!setter(fresh)) {
        unlink(fresh.c_str());
        return false;
    }
    unlink(old.c_str());
    return true;
}

}  // namespace lumora
