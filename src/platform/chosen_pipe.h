#pragma once

// The status pipe a user or a test names in $QUENTHAL_PIPE, read here alone so that the client,
// the instance claim and the stand-in service never disagree on it.

#include <optional>
#include <string>

#include <wx/string.h>

// $QUENTHAL_PIPE as UTF-8 text, or nothing when it is unset or empty. One reader per system, each
// reading the environment as that system keeps it, whatever the locale: wide text on Windows,
// bytes elsewhere.
std::optional<std::string> ChosenStatusPipePath();

// What tells the chosen pipe from others in a name of fixed length: nothing for the default
// pipe, otherwise a hash of the chosen path, which may be longer than a name may be.
wxString PipeKey();
