#include <memory>

#include <wx/menu.h>

#include "tray/sentak.h"

namespace {
// The menu as the toolkit's popup shows it.
wxMenu* NewMenu(const MenuModel& model) {
    auto* menu = new wxMenu;
    for (const MenuEntry& entry : model.entries) {
        if (entry.kind == MenuKind::Separator)
            menu->Append(new wxMenuItem(menu, entry.id, wxString(), wxString(), wxITEM_SEPARATOR));
        else
            menu->Append(entry.id, entry.label)->Enable(entry.enabled);
    }
    return menu;
}
}  // namespace

wxMenu* Sentak::CreatePopupMenu() { return NewMenu(OpenMenu()); }

// Read once, after the refresh: the form follows the key as it is now, not at the click.
MenuModel Sentak::OpenMenu() { return Reopen(m_desktop.WantsExtendedMenu()); }

void Sentak::OpenExtendedMenu() {
    const std::unique_ptr<wxMenu> menu(NewMenu(Reopen(true)));
    PopupMenu(menu.get());
}
