#include "tray/diagnostics.h"

#include <wx/intl.h>
#include <wx/utils.h>

#include "tray/menu_text.h"
#include "tray/outage_texts.h"
#include "tray/translations.h"

namespace {

// What the tray showed, in the words of its tooltip's first line.
wxString StateWords(Shown shown) {
    switch (shown) {
        case Shown::Unknown:
            return UnknownTooltip();
        case Shown::Running:
            return RunningTooltip({});
        case Shown::Stopped:
            break;
    }
    return StoppedTooltip(std::nullopt, std::nullopt);
}

}  // namespace

void StateHistory::Changed(Shown shown, std::int64_t at) {
    m_changes.push_back({shown, at});
    if (m_changes.size() > kKept) m_changes.pop_front();
}

wxString DiagnosticsReport(const Surroundings& where, const MenuModel& facts,
                           const StateHistory& history) {
    wxString report;
    const auto line = [&](const wxString& format, const wxString& value) {
        report << wxString::Format(format, value) << "\n";
    };
    // TRANSLATORS: The first lines of the report "Copy diagnostics" puts on the clipboard; %s is
    // Sentak's version, the system and desktop, what shows the icon, the service's name.
    line(TranslatedFormat("Sentak %s"), SENTAK_VERSION);
    line(TranslatedFormat("System: %s"), where.system);
    line(TranslatedFormat("Tray: %s"), where.tray);
    line(TranslatedFormat("Service: %s"), where.service);
    report << "\n";
    // The menu's facts as the menu shows them, its separators as paragraphs.
    for (const MenuEntry& entry : facts.entries)
        report << (entry.kind == MenuKind::Separator
                       ? wxString()
                       : wxStripMenuCodes(entry.label, wxStrip_Mnemonics))
               << "\n";
    // TRANSLATORS: The heading of the report's last lines, each a time and what the tray showed
    // from then on.
    report << _("Changes of state:") << "\n";
    for (const StateHistory::Change& change : history.Changes())
        report << LocalTimeText(change.at) << "  " << StateWords(change.shown) << "\n";
    return report;
}
