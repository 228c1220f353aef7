#pragma once

#include <cstddef>

#include <wx/string.h>

// The product name that fills every status text. Read from Resources/brand.json on first use
// and kept, unchanged, until the process exits.
const wxString& GetProductName();

// The product name as GetProductName reads it, from the brand file at path (a seam for tests
// and other tools).
wxString ReadProductNameFrom(const wxString& path);

// The product name in the text of a brand file, or "Vantora 3" when it has none.
wxString ParseProductName(const char* bytes, std::size_t size);

// The service the tray controls: the brand file's "servicename" when this system accepts it,
// otherwise the system's default. Read on first use and kept until the process exits.
const wxString& GetServiceName();

// The service's name as GetServiceName takes it from the text of a brand file.
wxString ParseServiceName(const char* bytes, std::size_t size);
