#pragma once

#include <wx/string.h>

// Installs the toolkit's translations for the user's language: the toolkit's own catalogue
// "wxstd" and the program's "main", from languages/ below the working directory or beside
// Resources/.
void InstallTranslations();

// The translation of english, a format of plain "%s" and "%d", to use as that format: only when
// it has the same conversions in the same order and every other '%' doubled, since a catalogue
// below the working directory may be anyone's. Otherwise english. Marks english for extraction,
// as _() does.
wxString TranslatedFormat(const char* english);

// The same for a text whose wording follows the number n, in the plural form the catalogue's
// language takes for n.
wxString TranslatedPlural(const char* singular, const char* plural, unsigned n);
