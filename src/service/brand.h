#pragma once

#include <cstddef>

#include <wx/string.h>

// The product name that fills every status text. Read from Resources/brand.json on first use
// and kept, unchanged, until the process exits.
const wxString& GetProductName();

// The same rules applied to the file at path (a seam for tests and other tools).
wxString ReadProductNameFrom(const wxString& path);

// The name in the text of a brand file, or the default when it has none.
wxString ParseProductName(const char* bytes, std::size_t size);

// The service the tray controls: the brand file's "servicename" when this system accepts it,
// otherwise the system's default. Read on first use and kept, as the product name.
const wxString& GetServiceName();

// The same rules applied to the text of a brand file.
wxString ParseServiceName(const char* bytes, std::size_t size);
