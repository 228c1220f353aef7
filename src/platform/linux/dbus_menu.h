#pragma once

// The tray's menu as com.canonical.dbusmenu, for hosts of StatusNotifierItems. Hosts keep a copy
// of the layout and draw it before they ask for a new one, so the copy follows each menu the tray
// hands down.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>

#include <wx/string.h>

#include "base/menu_model.h"
#include "platform/linux/gio_owners.h"

// A toolkit menu label as dbusmenu shows it: "&x" marks the key as "_x" does there, "&&" is a
// literal '&', and a literal '_' is doubled. An accelerator after a tab is dropped.
wxString DbusMenuLabel(const wxString& label);

class DbusMenu {
public:
    static constexpr const char* kPath = "/MenuBar";

    struct Callbacks {
        // The menu as the popup shows it, refresh included; it may hand the menu down through
        // SetMenu on the way.
        std::function<MenuModel()> opening;
        // A click on the command of that id. Called before the host has its answer, so it must
        // not wait: a command may open a box and wait for the user.
        std::function<void(int command)> choose;
    };

    // Exported on connection at kPath, showing menu; not exported() when the bus refused it.
    DbusMenu(GDBusConnection* connection, MenuModel menu, Callbacks callbacks);
    bool exported() const { return bool(m_registration); }

    // Takes menu over and tells hosts what differs from their copy: the properties of the entries
    // that changed, a new layout when entries came or went; nothing when nothing changed.
    void SetMenu(MenuModel menu);

private:
    // What a method answers: its reply (null for an empty one), or, with an error message, the
    // error of a request about entries or properties that do not exist.
    struct Answer {
        GVariant* reply;
        std::string error;
    };

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* property, GError**, gpointer);

    // Each answers the method of its name and unpacks that method's parameters itself.
    Answer GetLayout(GVariant* parameters);
    Answer GetGroupProperties(GVariant* parameters);
    Answer GetProperty(GVariant* parameters);
    Answer Event(GVariant* parameters);
    Answer EventGroup(GVariant* parameters);
    Answer AboutToShow(GVariant* parameters);
    Answer AboutToShowGroup(GVariant* parameters);

    bool Apply(MenuModel menu);
    bool Open();
    void EnsureLayout();
    const MenuEntry* Find(std::int32_t id) const;
    bool Known(std::int32_t id) const { return id == 0 || Find(id); }  // 0: the root
    GVariant* Properties(std::int32_t id, GVariant* names) const;
    GVariant* Node(std::int32_t id, GVariant* names, bool withEntries) const;
    void Click(std::int32_t id, const char* event);
    void Emit(const char* signal, GVariant* parameters);

    GDBusConnection* m_connection;
    Callbacks m_callbacks;
    MenuModel m_menu;
    std::uint32_t m_revision = 0;  // 0: no host has asked for the menu yet
    std::uint32_t m_changes = 0;   // how often hosts were told of a change
    Registration m_registration;
};
