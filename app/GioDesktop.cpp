// Kept apart from the Qt sources: GIO's headers and Qt's keyword macros do
// not mix in one translation unit.
#include "GioDesktop.h"

#include <gio/gio.h>

#include <dlfcn.h>

namespace {

// GIO and the libraries it brings (GObject, GModule, libmount, SELinux...)
// are loaded the first time a file goes to the trash or to another program,
// not at every start-up. GLib itself is always there (Qt's event loop).
struct Gio {
    decltype(&g_file_new_for_path) newForPath = nullptr;
    decltype(&g_file_trash) trash = nullptr;
    decltype(&g_file_query_default_handler) defaultHandler = nullptr;
    decltype(&g_app_info_launch) launch = nullptr;
    decltype(&g_object_unref) unref = nullptr;
    bool ok = false;
};

const Gio& LoadGio()
{
    static const Gio gio = [] {
        Gio g;
        void* lib = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return g;
        g.newForPath = reinterpret_cast<decltype(g.newForPath)>(dlsym(lib, "g_file_new_for_path"));
        g.trash = reinterpret_cast<decltype(g.trash)>(dlsym(lib, "g_file_trash"));
        g.defaultHandler = reinterpret_cast<decltype(g.defaultHandler)>(dlsym(lib, "g_file_query_default_handler"));
        g.launch = reinterpret_cast<decltype(g.launch)>(dlsym(lib, "g_app_info_launch"));
        g.unref = reinterpret_cast<decltype(g.unref)>(dlsym(lib, "g_object_unref"));
        g.ok = g.newForPath && g.trash && g.defaultHandler && g.launch && g.unref;
        return g;
    }();
    return gio;
}

} // namespace

bool TrashFile(const std::string& path)
{
    const Gio& gio = LoadGio();
    if (path.empty() || !gio.ok)
        return false;
    GFile* file = gio.newForPath(path.c_str());
    g_autoptr(GError) error = nullptr;
    const bool trashed = gio.trash(file, nullptr, &error) != FALSE;
    gio.unref(file);
    return trashed;
}

bool LaunchDefaultApplication(const std::string& path)
{
    const Gio& gio = LoadGio();
    if (path.empty() || !gio.ok)
        return false;
    GFile* file = gio.newForPath(path.c_str());
    g_autoptr(GError) error = nullptr;
    GAppInfo* app = gio.defaultHandler(file, nullptr, &error);
    bool launched = false;
    if (app) {
        // A program that takes paths gets these bytes; one that takes URIs
        // gets them percent-encoded, which decodes back to the same bytes.
        GList files = {file, nullptr, nullptr};
        launched = gio.launch(app, &files, nullptr, &error) != FALSE;
        gio.unref(app);
    }
    gio.unref(file);
    return launched;
}

bool SpawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv.front().empty())
        return false;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // Without G_SPAWN_DO_NOT_REAP_CHILD the child is reaped for us: no zombie
    // is left when it ends.
    g_autoptr(GError) error = nullptr;
    return g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, &error) !=
           FALSE;
}
