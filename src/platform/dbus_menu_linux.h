#pragma once

// The tray's menu as com.canonical.dbusmenu, for hosts of StatusNotifierItems: each layout is a
// wxMenu the tray builds, taken apart into items with positive ids.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "platform/gio_owners_linux.h"

class wxMenu;

// A toolkit menu label as dbusmenu shows it: "&x" marks the key as "_x" does there, "&&" is a
// literal '&', and a literal '_' is doubled. An accelerator after a tab is dropped.
wxString DbusMenuLabel(const wxString& label);

class DbusMenu {
public:
    static constexpr const char* kPath = "/MenuBar";

    struct Callbacks {
        std::function<wxMenu*()>
            buildOnOpening;                     // the menu as the popup shows it, refresh included
        std::function<wxMenu*()> buildQuietly;  // from the last refresh's status, none of its own
        std::function<void(int command)> choose;  // a click on the entry of that toolkit id
    };

    // Exported on connection at kPath; not exported() when the bus refused it.
    DbusMenu(GDBusConnection* connection, Callbacks callbacks);
    bool exported() const { return bool(m_registration); }

private:
    struct Item {
        std::int32_t id;  // on the bus: a command's own id, a fresh one for facts and separators
        int command;      // the toolkit's id
        bool separator;
        wxString label;
        bool enabled;
    };

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* property, GError**, gpointer);
    void Answer(const char* method, GVariant* parameters, GDBusMethodInvocation* invocation);

    void Load(wxMenu* menu);
    void Rebuild();
    void EnsureLayout();
    const Item* Find(std::int32_t id) const;
    GVariant* Properties(std::int32_t id, GVariant* names) const;
    GVariant* Layout(std::int32_t parent, GVariant* names) const;
    void Click(std::int32_t id, const char* event);

    GDBusConnection* m_connection;
    Callbacks m_callbacks;
    std::vector<Item> m_items;
    std::uint32_t m_revision = 0;  // 0: nothing built yet
    std::int32_t m_nextFactId;
    Registration m_registration;
};
