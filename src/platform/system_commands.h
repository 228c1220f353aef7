#pragma once

// What the system carries out for the menu: one table a system, in platform/<os>/
// system_commands.cpp, whose rows the tray's command table names.

#include <cstddef>
#include <string_view>

#include <wx/string.h>

// One command that the system carries out for the service, started without waiting for it.
struct SystemCommand {
    const char* name;  // how the tray's command table names it
    // Texts as their catalogue has them (marked with wxTRANSLATE), translated where shown: the
    // menu's label with its mnemonic, the box's first line and its title when nothing started.
    const char* label;
    const char* failed;
    const char* caption;
    // What the user is told to run by hand when nothing started; service is the name the service
    // has on this system.
    wxString (*byHand)(const wxString& service);
    // Starts it on service; false when nothing was started.
    bool (*start)(const wxString& service);
};

// This system's table, in platform/<os>/system_commands.cpp.
struct SystemCommandTable {
    const SystemCommand* rows;
    std::size_t count;
};
SystemCommandTable ThisSystemsCommands();

// This system's command of that name; none where the system carries out no such command.
const SystemCommand* FindSystemCommand(std::string_view name);
