#pragma once

#include <wx/string.h>

// Installs the toolkit's translations for the user's language: the toolkit's own catalogue
// "wxstd" and the program's "main", from languages/ below the working directory or beside
// Resources/.
void InstallTranslations();

// The translation of english, a format with one "%s", to use as that format: only when it has
// exactly one "%s" and every other '%' doubled, since a catalogue below the working directory
// may be anyone's. Otherwise english. Marks english for extraction, as _() does.
wxString TranslatedFormat(const char* english);
