#include <wx/menu.h>

#include "tray/sentak.h"

wxMenu* Sentak::CreatePopupMenu() {
    RefreshStatus();
    return new wxMenu;
}
