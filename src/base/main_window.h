#pragma once

// The title of the program's hidden main window, by which a later start and the installer find
// the Sentak that runs (on Windows).
inline constexpr const char kMainWindowTitle[] = "wxTaskBarIcon Test Dialog";
