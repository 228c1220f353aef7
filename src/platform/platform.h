#pragma once

// The few things that differ per operating system; one implementation file per OS.

class wxTaskBarIcon;

// Lets the OS show the next desktop notification the way it prefers: on Windows as a toast,
// falling back to a balloon of icon. Elsewhere the toolkit's own notifications need nothing.
void PrepareNotifications(wxTaskBarIcon& icon);
