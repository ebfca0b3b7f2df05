#include "cli/commands.h"

#include <iostream>

namespace talvenor::cli {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"sites", "sites", "the site table: label, menu item, site number, tag, chapter-list mode, hosts",
         SitesCommand},
        {"fetch", "fetch URL", "fetch URL with the configured client and print the page as UTF-8", FetchCommand},
    };
    return commands;
}

}  // namespace talvenor::cli
