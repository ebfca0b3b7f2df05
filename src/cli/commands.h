// The commands of talvenor-cli, one function each.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"

namespace talvenor::cli {

struct Context {
    AppPaths paths;
};

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    std::function<int(Context&, const std::vector<std::string>&)> run;
};

const std::vector<Command>& Commands();

// Text of the core (GBK) for the terminal.
std::string Out(const std::string& gbk);

int SitesCommand(Context& ctx, const std::vector<std::string>& args);
int FetchCommand(Context& ctx, const std::vector<std::string>& args);

}  // namespace talvenor::cli
