#include "platform/status_pipe.h"

#include "platform/chosen_pipe.h"

std::string StatusPipePath() { return ChosenStatusPipePath().value_or(kDefaultStatusPipePath); }
