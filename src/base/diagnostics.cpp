#include "base/diagnostics.h"

#include <iostream>

void InternalMessage(const std::string& text) { std::cerr << "sentak: " << text << std::endl; }
