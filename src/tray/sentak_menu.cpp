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

MenuModel Sentak::OpenMenu() {
    ReadStatus();
    // Read once, after the refresh: the form follows the key as it is now, not at the click.
    m_rules.MenuOpened(Reading(), m_desktop.WantsExtendedMenu(), std::chrono::system_clock::now());
    MenuModel menu = Menu();
    SetMenu(menu);
    return menu;
}

void Sentak::OpenExtendedMenu() {
    ReadStatus();
    m_rules.MenuOpened(Reading(), true, std::chrono::system_clock::now());
    const MenuModel model = Menu();
    SetMenu(model);
    const std::unique_ptr<wxMenu> menu(NewMenu(model));
    PopupMenu(menu.get());
}
