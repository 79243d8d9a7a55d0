// Kept apart from the Qt sources: GIO's headers and Qt's keyword macros do
// not mix in one translation unit.
#include "GioDesktop.h"

#include <gio/gio.h>

bool TrashFile(const std::string& path)
{
    if (path.empty())
        return false;
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autoptr(GError) error = nullptr;
    return g_file_trash(file, nullptr, &error) != FALSE;
}

bool LaunchDefaultApplication(const std::string& path)
{
    if (path.empty())
        return false;
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autoptr(GError) error = nullptr;
    g_autoptr(GAppInfo) app = g_file_query_default_handler(file, nullptr, &error);
    if (!app)
        return false;
    // A program that takes paths gets these bytes; one that takes URIs gets
    // them percent-encoded, which decodes back to the same bytes.
    GList files = {file, nullptr, nullptr};
    return g_app_info_launch(app, &files, nullptr, &error) != FALSE;
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
