// Reads a desktop entry's Exec line back as a desktop does, with GLib's own rules.
#pragma once

#include <glib.h>
#include <string>
#include <vector>

#include <wx/string.h>

// The Exec line read back as a desktop reads it: the value unescaped by GLib's key file, the
// field codes expanded (%% to %, %F to the files), then split with g_shell_parse_argv.
inline std::vector<std::string> LaunchArguments(const wxString& entry, const std::vector<std::string>& files)
{
    std::vector<std::string> result;
    GKeyFile* keys = g_key_file_new();
    const std::string text = entry.utf8_string();
    if (!g_key_file_load_from_data(keys, text.c_str(), text.size(), G_KEY_FILE_NONE, nullptr))
    {
        g_key_file_free(keys);
        return result;
    }
    gchar* exec = g_key_file_get_string(keys, "Desktop Entry", "Exec", nullptr);
    g_key_file_free(keys);
    if (!exec)
        return result;
    std::string line;
    for (const char* p = exec; *p; ++p)
    {
        if (*p != '%')
        {
            line += *p;
            continue;
        }
        ++p;
        if (*p == '%')
            line += '%';
        else if (*p == 'F')
            for (size_t i = 0; i < files.size(); ++i)
            {
                gchar* quoted = g_shell_quote(files[i].c_str());
                line += (i ? " " : "") + std::string(quoted);
                g_free(quoted);
            }
        else if (*p == '\0')
            break;
    }
    g_free(exec);
    gint argc = 0;
    gchar** argv = nullptr;
    if (g_shell_parse_argv(line.c_str(), &argc, &argv, nullptr))
    {
        result.assign(argv, argv + argc);
        g_strfreev(argv);
    }
    return result;
}
