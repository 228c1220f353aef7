#include "platform/system_commands.h"

#include <algorithm>

const SystemCommand* FindSystemCommand(std::string_view name) {
    const SystemCommandTable table = ThisSystemsCommands();
    const SystemCommand* const end = table.rows + table.count;
    const SystemCommand* const found = std::find_if(
        table.rows, end, [&](const SystemCommand& command) { return command.name == name; });
    return found == end ? nullptr : found;
}
