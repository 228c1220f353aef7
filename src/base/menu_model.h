#pragma once

#include <vector>

#include <wx/string.h>

// What the tray's menu shows, decided once, so that the toolkit's popup and the menu exported to
// desktop hosts show the same entries.

enum class MenuKind {
    Fact,     // about the service: choosing it does nothing
    Command,  // chosen, it sends its id as a menu event
    Separator,
};

struct MenuEntry {
    // One per role, the same in every form, so that hosts see an entry change, not a new one.
    int id;
    MenuKind kind;
    wxString label;  // as the toolkit writes it: "&x" marks the key, "&&" is a literal '&'
    bool enabled;
};

// The entries top to bottom, each added in one line.
struct MenuModel {
    std::vector<MenuEntry> entries;

    void Fact(int id, const wxString& label, bool enabled = false) {
        entries.push_back({id, MenuKind::Fact, label, enabled});
    }
    void Command(int id, const wxString& label, bool enabled = true) {
        entries.push_back({id, MenuKind::Command, label, enabled});
    }
    void Separator(int id) { entries.push_back({id, MenuKind::Separator, wxString(), true}); }
};
