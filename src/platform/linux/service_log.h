#pragma once

#include <string>

#include "platform/service_log.h"

// ReadLastWords over the journal files in directory instead of the system's journal, so that
// tests and benchmarks read journals of their own making.
LastWords ReadLastWordsIn(const ServiceRun& run, const std::string& directory);
