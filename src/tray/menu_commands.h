#pragma once

// The tray menu's commands: their ids, which hosts see, and one row each, in the order the menu
// shows them. A command the system carries out is an id and a row here that names the system's
// row (platform/<os>/system_commands.cpp), which gives its label, its manual command and its
// start.

#include <string_view>

#include <wx/intl.h>

#include "tray/outage_rules.h"
#include "tray/outage_texts.h"

// New ones stay below the facts' (6100).
enum {
    ID_OPEN_WEB_SETTINGS = 5999,
    ID_EXIT_TRAY = 6000,
    ID_MANAGE_SERVICES = 6001,
    ID_START_SERVICE = 6002,
    ID_STOP_SERVICE = 6003,
    ID_RESTART_SERVICE = 6004,
    ID_SHOW_SERVICE_LOG = 6005,
    ID_COPY_DIAGNOSTICS = 6006,
};

struct MenuCommand {
    enum class Form { Both, Extended };  // the menu's forms that show it
    int id;
    // The tray's own: its label as the catalogue has it, with its mnemonic, translated where
    // shown. The system's: the name of the system's row, which the system may lack.
    const char* label;
    const char* system;
    Form form;
    int separatorBefore;  // the id of a separator above it; 0 for none
    bool OutageRules::Offers::*offered;
};

using Offers = OutageRules::Offers;
inline constexpr MenuCommand kMenuCommands[] = {
    // TRANSLATORS: A menu command: '&' marks the key that chooses it. Keep one, on a letter the
    // other commands ("&Manage Windows services", "S&tart service", "St&op service", "&Restart
    // service", "E&xit tray application") do not use.
    {ID_OPEN_WEB_SETTINGS, wxTRANSLATE("Open web &settings"), nullptr, MenuCommand::Form::Both, 0,
     &Offers::webSettings},
    {ID_MANAGE_SERVICES, nullptr, "service-manager", MenuCommand::Form::Extended, 0,
     &Offers::always},
    {ID_SHOW_SERVICE_LOG, nullptr, "service-log", MenuCommand::Form::Extended, 0, &Offers::always},
    // TRANSLATORS: Menu commands that start, stop and restart the service, and without the '&'
    // the button on the notification when it stops; keep one '&' in each, on a letter that no
    // other command of the menu uses ("Open web &settings", "&Manage Windows services", "E&xit
    // tray application" and these three).
    {ID_START_SERVICE, wxTRANSLATE("S&tart service"), nullptr, MenuCommand::Form::Extended, 0,
     &Offers::start},
    // TRANSLATORS: See "S&tart service".
    {ID_STOP_SERVICE, wxTRANSLATE("St&op service"), nullptr, MenuCommand::Form::Extended, 0,
     &Offers::stop},
    // TRANSLATORS: See "S&tart service".
    {ID_RESTART_SERVICE, wxTRANSLATE("&Restart service"), nullptr, MenuCommand::Form::Extended, 0,
     &Offers::restart},
    // TRANSLATORS: A menu command that copies a report for a support request to the clipboard;
    // keep one '&', on a letter the other commands do not use.
    {ID_COPY_DIAGNOSTICS, wxTRANSLATE("Copy &diagnostics"), nullptr, MenuCommand::Form::Extended, 0,
     &Offers::always},
    // TRANSLATORS: A menu command; keep one '&', on a letter the other commands do not use.
    {ID_EXIT_TRAY, wxTRANSLATE("E&xit tray application"), nullptr, MenuCommand::Form::Extended,
     ID_SEPARATOR_EXIT, &Offers::always},
};

// The label of the command of that id, translated, with its mnemonic; empty when this system does
// not carry it out.
wxString CommandLabel(int id);
