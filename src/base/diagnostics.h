#pragma once

// Internal messages: what the program tells whoever started it (a terminal, the journal), never
// the user. The pipe's trace lines and the toolkit's debug records are of their own kinds.

#include <string>

// Writes "sentak: " and text as one line on the standard error, flushed at once.
void InternalMessage(const std::string& text);
