// systemd's manager on the system bus, with polkit asking the user for the right.
#include "platform/service_control.h"

wxString DefaultServiceName() { return "quenthal.service"; }

bool IsValidServiceName(const wxString& name) {
    // Unit names as systemd spells them; the D-Bus API wants the whole name, suffix included.
    const wxString suffix = ".service";
    if (name.length() <= suffix.length() || name.length() > 255 || !name.EndsWith(suffix))
        return false;
    const wxString punctuation = ":_.-@";
    for (const wxUniChar c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              punctuation.Find(c) != wxNOT_FOUND))
            return false;
    return true;
}
