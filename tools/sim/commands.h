// The cmmsim sub-commands. Each takes the arguments after its name and
// returns the process exit code: 0 success, 1 failure, 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace cmmsim {

using Args = std::vector<std::string>;

int RunInstall(const Args& args);
int RunPartManager(const Args& args);
int RunGeopakWin(const Args& args);
int RunGeopak3(const Args& args);
int RunOperator(const Args& args);
int RunStatus(const Args& args);
int RunShutdown(const Args& args);
int RunFault(const Args& args);

}  // namespace cmmsim
