#pragma once

// Event Viewer's view of one service: what the system and the service itself logged about it.

#include <wx/string.h>

// A custom view file for Event Viewer (eventvwr.exe /v:<file>): the System log's entries of the
// service control manager that name the service, by its name or its display name, and the
// Application log's entries of the service's own event source (its name).
wxString ServiceLogView(const wxString& service, const wxString& displayName);
