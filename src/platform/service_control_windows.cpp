// The service control manager: commands, and the elevated helper when the user lacks the right.
#include "platform/service_control.h"

wxString DefaultServiceName() { return "Quenthal"; }

bool IsValidServiceName(const wxString& name) {
    // The service control manager's own limit; slashes are not allowed in a service's name.
    return !name.empty() && name.length() <= 256 && !name.Contains("/") && !name.Contains("\\");
}
