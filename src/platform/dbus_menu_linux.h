#pragma once

// The tray's menu as com.canonical.dbusmenu, for hosts of StatusNotifierItems: each layout is a
// wxMenu the tray builds, taken apart into items with positive ids. Hosts keep a copy of the
// layout and draw it before they ask for a new one, so the copy follows the tray's status.

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

    // Builds the menu quietly and tells hosts what differs from their copy: the properties of the
    // entries that changed, a new layout when entries came or went; nothing when nothing changed.
    void Update();

private:
    struct Item {
        std::int32_t
            id;       // on the bus: the toolkit's id, or one from the position where it has none
        int command;  // the toolkit's id
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

    static std::vector<Item> ItemsOf(wxMenu* menu);
    bool Apply(std::vector<Item> items);
    bool Open();
    void EnsureLayout();
    const Item* Find(std::int32_t id) const;
    GVariant* Properties(std::int32_t id, GVariant* names) const;
    GVariant* Layout(std::int32_t parent, std::int32_t depth, GVariant* names) const;
    void Click(std::int32_t id, const char* event);
    void Emit(const char* signal, GVariant* parameters);

    GDBusConnection* m_connection;
    Callbacks m_callbacks;
    std::vector<Item> m_items;
    std::uint32_t m_revision = 0;  // 0: nothing built yet
    bool m_opening = false;        // the opening's own refresh must not update the copy first
    Registration m_registration;
};
