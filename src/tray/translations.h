#pragma once

#include <wx/string.h>

// Installs the toolkit's translations for the user's language: the toolkit's own catalogue
// "wxstd" and the program's "main", from the languages/ folder where Sentak is installed (beside
// Resources/), never from the working directory.
void InstallTranslations();

// The same from the catalogues in dir, as <lang>/main.mo (a seam for tests).
void InstallTranslationsFrom(const wxString& dir);

// The translation of english, a format of plain "%s" and "%d", to use as that format: only when
// it has the same conversions in the same order and every other '%' doubled, since a mistaken
// catalogue must not crash or garble a text. Otherwise english. Marks english for extraction,
// as _() does.
wxString TranslatedFormat(const char* english);

// The same for a text whose wording follows the number n, in the plural form the catalogue's
// language takes for n.
wxString TranslatedPlural(const char* singular, const char* plural, unsigned n);
