// The viewer hidden to the desktop's notification area and back, on each kind
// of desktop: a StatusNotifierWatcher on a private session bus, an XEmbed tray
// host (trayer), and neither (the window is minimised; a window manager's
// restore must run the full restore).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ViewerAppSupport.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"

#include <gdk/gdkx.h>
#include <gio/gio.h>
#include <gtk/gtk.h>

using orvane::Rt;

namespace {

// --------------------------------------------------------------- X helpers

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

unsigned long XidOf(wxWindow* w) { return gdk_x11_window_get_xid(gtk_widget_get_window(w->GetHandle())); }

bool SelectionOwned(const char* name) {
    return XGetSelectionOwner(XDisplay(), XInternAtom(XDisplay(), name, False)) != None;
}

// Whether the window under screen point (x, y) is an embedded tray icon
// (an XEmbed client carries _XEMBED_INFO).
bool XEmbedIconAt(int x, int y) {
    Display* dpy = XDisplay();
    const Window root = DefaultRootWindow(dpy);
    const Atom info = XInternAtom(dpy, "_XEMBED_INFO", False);
    Window w = root, child = None;
    int cx = 0, cy = 0;
    while (XTranslateCoordinates(dpy, root, w, x, y, &cx, &cy, &child) && child != None) {
        w = child;
        Atom type = None;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, w, info, 0, 2, False, AnyPropertyType, &type, &format, &n, &after, &data);
        if (data) XFree(data);
        if (type != None) return true;
    }
    return false;
}

// A window manager on this test's own display, until the object goes.
struct Child {
    int pid = -1;
    ~Child() { KillChild(pid); }
};

// "auto" is never written at exit: store it by hand for the start.
void SeedAutoHide(orvane::RunTime& rt) {
    rt.autoStart = 1;
    orvane::WriteSettingNumber("auto", 1);
}

void ExpectRestored(COrvaneDlg* d) {
    EXPECT_FALSE(Rt().hidden);
    EXPECT_TRUE(d->IsShown());
    EXPECT_TRUE(PumpUntil([d] { return !d->IsIconized(); }));  // the window manager answers
    EXPECT_TRUE(d->ControlPanel()->IsShown());
    EXPECT_EQ(d->MenuText(IDC_SHOW_CONTROL_PANEL), "&Hide Control Panel");
}

// ------------------------------------------------- a StatusNotifierWatcher

constexpr const char* kWatcherXml =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
    "<method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
    "<property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "<property name='ProtocolVersion' type='i' access='read'/>"
    "<signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "</interface></node>";

// A private session bus with a small watcher of our own on it; remembers
// each item that registers (service name and object path).
class Watcher {
public:
    Watcher() {
        FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out) return;
        char line[512] = {};
        if (fgets(line, sizeof line, out)) address_ = std::string(line, strcspn(line, "\n"));
        if (fgets(line, sizeof line, out)) daemon_ = atoi(line);
        pclose(out);
        setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
        conn_ = g_dbus_connection_new_for_address_sync(
            address_.c_str(), GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        info_ = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
        static const GDBusInterfaceVTable vtable = {&Watcher::OnCall, &Watcher::OnGet, nullptr, {}};
        if (conn_) g_dbus_connection_register_object(conn_, "/StatusNotifierWatcher", info_->interfaces[0], &vtable,
                                                      this, nullptr, nullptr);
        Own();
    }
    ~Watcher() {
        Unown();
        if (conn_) g_object_unref(conn_);
        if (info_) g_dbus_node_info_unref(info_);
        if (daemon_ > 0) kill(daemon_, SIGTERM);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    bool Ok() const { return conn_ != nullptr; }
    void Own() {
        owner_ = g_bus_own_name_on_connection(conn_, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
                                              &Watcher::OnOwned, nullptr, this, nullptr);
    }
    void Unown() {
        if (owner_) g_bus_unown_name(owner_);
        owner_ = 0;
        owned_ = false;
    }
    bool owned_ = false;
    std::vector<std::string> items;  // "service path" as registered
    std::string service, path;       // the last item

    // A property of the last item; nullptr when it cannot be read.
    GVariant* ItemProperty(const char* name) {
        GVariant* v = Call(service, path, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", name));
        if (!v) return nullptr;
        GVariant* inner = nullptr;
        g_variant_get(v, "(v)", &inner);
        g_variant_unref(v);
        return inner;
    }
    std::string ItemString(const char* name) {
        GVariant* v = ItemProperty(name);
        if (!v) return {};
        std::string s = g_variant_is_of_type(v, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(v, G_VARIANT_TYPE_OBJECT_PATH)
                            ? g_variant_get_string(v, nullptr) : "";
        g_variant_unref(v);
        return s;
    }
    // Calls a method without blocking the loop the viewer's side runs on.
    GVariant* Call(const std::string& dest, const std::string& object, const char* iface, const char* method,
                   GVariant* args) {
        struct Reply { GVariant* v = nullptr; bool done = false; } reply;
        g_dbus_connection_call(conn_, dest.c_str(), object.c_str(), iface, method, args, nullptr,
                               G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                               [](GObject* c, GAsyncResult* r, gpointer p) {
                                   auto* out = static_cast<Reply*>(p);
                                   out->v = g_dbus_connection_call_finish(G_DBUS_CONNECTION(c), r, nullptr);
                                   out->done = true;
                               }, &reply);
        PumpUntil([&] { return reply.done; }, 6000);
        return reply.v;
    }

private:
    static void OnOwned(GDBusConnection*, const gchar*, gpointer self) { static_cast<Watcher*>(self)->owned_ = true; }
    static void OnCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                       GVariant* params, GDBusMethodInvocation* call, gpointer self) {
        auto* w = static_cast<Watcher*>(self);
        if (g_strcmp0(method, "RegisterStatusNotifierItem") == 0) {
            const gchar* arg = nullptr;
            g_variant_get(params, "(&s)", &arg);
            // The item gives either its object path (on the caller's name) or a bus name.
            w->service = arg[0] == '/' ? sender : arg;
            w->path = arg[0] == '/' ? arg : "/StatusNotifierItem";
            w->items.push_back(w->service + " " + w->path);
        }
        g_dbus_method_invocation_return_value(call, nullptr);
    }
    static GVariant* OnGet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                           gpointer self) {
        auto* w = static_cast<Watcher*>(self);
        if (g_strcmp0(name, "IsStatusNotifierHostRegistered") == 0) return g_variant_new_boolean(TRUE);
        if (g_strcmp0(name, "ProtocolVersion") == 0) return g_variant_new_int32(0);
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("as"));
        for (const auto& i : w->items) g_variant_builder_add(&b, "s", i.c_str());
        return g_variant_builder_end(&b);
    }

    std::string address_;
    int daemon_ = -1;
    GDBusConnection* conn_ = nullptr;
    GDBusNodeInfo* info_ = nullptr;
    guint owner_ = 0;
};

// The labels and ids of the item's menu, from its dbusmenu layout.
std::vector<std::pair<int, std::string>> MenuEntries(Watcher& w) {
    std::vector<std::pair<int, std::string>> out;
    const std::string menuPath = w.ItemString("Menu");
    GVariant* layout = w.Call(w.service, menuPath, "com.canonical.dbusmenu", "GetLayout",
                              g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    if (!layout) return out;
    GVariant* root = g_variant_get_child_value(layout, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
        GVariant* boxed = g_variant_get_child_value(children, i);
        GVariant* child = g_variant_get_variant(boxed);
        gint32 id = 0;
        g_variant_get_child(child, 0, "i", &id);
        GVariant* props = g_variant_get_child_value(child, 1);
        const gchar* label = nullptr;
        g_variant_lookup(props, "label", "&s", &label);
        out.emplace_back(id, label ? label : "-");
        g_variant_unref(props);
        g_variant_unref(child);
        g_variant_unref(boxed);
    }
    g_variant_unref(children);
    g_variant_unref(root);
    g_variant_unref(layout);
    return out;
}

}  // namespace

TEST(ViewerTray, StatusNotifierItemCarriesIconMenuAndRestoresThroughIt) {
    tellura::test::ScopedHome home;
    const std::string videos = home.path("videos/");
    ::mkdir(videos.c_str(), 0755);
    Child wm{Spawn("/usr/bin/openbox", {"--sm-disable"})};
    ASSERT_TRUE(PumpUntil([] { return SelectionOwned("WM_S0"); }));
    Watcher watcher;
    ASSERT_TRUE(watcher.Ok());
    ASSERT_TRUE(PumpUntil([&] { return watcher.owned_; }));
    InProcessViewer v([&](orvane::RunTime& rt) {
        SeedAutoHide(rt);
        orvane::CopyField(rt.recordPath, videos);
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(CSystemTray::Available(), CSystemTray::Kind::StatusNotifier);

    // Hidden while recording: the item shows icon 306, and the menu is 305's.
    d->OnRemoteKey(42);
    ASSERT_TRUE(d->IsRecording());
    d->SendCommand(ID_CLOSE);
    ASSERT_TRUE(PumpUntil([&] { return !watcher.items.empty(); }));
    EXPECT_TRUE(Rt().hidden);
    EXPECT_FALSE(d->IsShown());
    EXPECT_EQ(d->Tray()->GetKind(), CSystemTray::Kind::StatusNotifier);
    EXPECT_EQ(watcher.ItemString("IconName"), "tellura-306");
    EXPECT_EQ(watcher.ItemString("Status"), "Active");
    EXPECT_EQ(watcher.ItemString("Title"), "Run Tellura");
    const std::string themePath = watcher.ItemString("IconThemePath");
    EXPECT_EQ(tellura::test::ReadFile(themePath + "/tellura-306.png").substr(1, 3), "PNG");
    const auto entries = MenuEntries(watcher);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].second, "_Run Tellura");
    EXPECT_EQ(entries[2].second, "_Exit Tellura");
    d->OnRemoteKey(0x1FF);
    d->OnRemoteKey(42);  // ignored while hidden: only the close key acts
    EXPECT_TRUE(d->IsRecording());

    // The watcher goes away: nothing else can show the icon, so the window
    // is minimised where the task bar reaches it; the watcher comes back and
    // the item registers again.
    watcher.Unown();
    EXPECT_TRUE(PumpUntil([&] { return d->IsShown() && d->IsIconized(); }));
    EXPECT_TRUE(Rt().hidden);
    const size_t before = watcher.items.size();
    watcher.Own();
    EXPECT_TRUE(PumpUntil([&] { return watcher.owned_; }));
    EXPECT_TRUE(PumpUntil([&] { return watcher.items.size() > before; }));

    // "Run Tellura" from the desktop's menu runs the restore.
    GVariant* r = watcher.Call(watcher.service, watcher.ItemString("Menu"), "com.canonical.dbusmenu", "Event",
                               g_variant_new("(isvu)", entries[0].first, "clicked", g_variant_new_int32(0), 0u));
    if (r) g_variant_unref(r);
    EXPECT_TRUE(PumpUntil([&] { return !Rt().hidden; }));
    ExpectRestored(d);
    EXPECT_FALSE(d->Tray()->IsEnabled());
}

// No notification area at all: hiding minimises; the window manager's
// restore (the task bar) brings the whole viewer back, and a hidden start
// leaves a minimised window, not none.
TEST(ViewerTray, WithoutTrayMinimisesAndWindowManagerRestoreRunsTheRestore) {
    tellura::test::ScopedHome home;
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Child wm{Spawn("/usr/bin/openbox", {"--sm-disable"})};
    ASSERT_TRUE(PumpUntil([] { return SelectionOwned("WM_S0"); }));
    const std::string elsewhere = home.path("start/");
    ::mkdir(elsewhere.c_str(), 0755);
    InProcessViewer v([&](orvane::RunTime& rt) {
        SeedAutoHide(rt);
        orvane::WriteSettingString("CurDir", elsewhere.c_str());  // another folder: hidden start
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(CSystemTray::Available(), CSystemTray::Kind::NoTray);
    EXPECT_TRUE(Rt().hidden);
    EXPECT_TRUE(PumpUntil([&] { return d->IsShown() && d->IsIconized(); }));

    RequestActivate(XidOf(d));
    EXPECT_TRUE(PumpUntil([&] { return !Rt().hidden; }));
    ExpectRestored(d);

    // Hide again by Close, then restore from the window manager once more.
    d->SendCommand(ID_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return d->IsIconized(); }));
    EXPECT_TRUE(Rt().hidden);
    EXPECT_EQ(d->LineCountdown(), -1);
    RequestActivate(XidOf(d));
    EXPECT_TRUE(PumpUntil([&] { return !Rt().hidden; }));
    ExpectRestored(d);
}

// An XEmbed tray only: the icon goes there, and a double click on it brings
// the viewer back even with "auto" off (it never closes the viewer).
TEST(ViewerTray, XEmbedIconDoubleClickRestores) {
    tellura::test::ScopedHome home;
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Child tray{Spawn("/usr/bin/trayer", {"--edge", "top", "--align", "left", "--widthtype", "request",
                                         "--height", "32", "--expand", "false", "--SetDockType", "false"})};
    ASSERT_TRUE(PumpUntil([] { return SelectionOwned("_NET_SYSTEM_TRAY_S0"); }));
    InProcessViewer v([](orvane::RunTime& rt) { SeedAutoHide(rt); });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    d->SendCommand(ID_CLOSE);
    EXPECT_TRUE(Rt().hidden);
    EXPECT_TRUE(PumpUntil([&] { return !d->IsShown(); }));
    ASSERT_EQ(d->Tray()->GetKind(), CSystemTray::Kind::XEmbed);
    Rt().autoStart = 0;
    ASSERT_TRUE(PumpUntil([] { return XEmbedIconAt(12, 12); })) << "the tray host shows no icon";
    Child click{Spawn("/usr/bin/xdotool", {"mousemove", "12", "12", "click", "--repeat", "2", "--delay", "80", "1"})};
    EXPECT_TRUE(PumpUntil([&] { return !Rt().hidden; }));
    ExpectRestored(d);
    EXPECT_FALSE(d->Ended());
}

// A second start under a window manager brings the minimised viewer back
// and ends with 0.
TEST(ViewerTray, SecondStartBringsTheRunningViewerBack) {
    tellura::test::ScopedHome home;
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    Child wm{Spawn("/usr/bin/openbox", {"--sm-disable"})};
    ASSERT_TRUE(PumpUntil([] { return SelectionOwned("WM_S0"); }));
    InProcessViewer v;
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    d->Iconize(true);
    ASSERT_TRUE(PumpUntil([&] { return d->IsIconized(); }));
    const int second = Spawn(tellura::test::BinDir() + "/orvane", {});
    ASSERT_GT(second, 0);
    int rc = -1;
    EXPECT_TRUE(PumpUntil([&] { return (rc = WaitExit(second, 0)) >= 0; }, 20000));
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(PumpUntil([&] { return d->IsShown() && !d->IsIconized(); }, 10000));
    EXPECT_FALSE(d->Ended());
}
