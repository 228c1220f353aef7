#pragma once

// Installs the toolkit's translations for the user's language: the toolkit's own catalogue
// "wxstd" and the program's "main", from languages/ below the working directory or beside
// Resources/.
void InstallTranslations();
