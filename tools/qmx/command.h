// Command registry of the qmx tool: each command lives in its own cmd_*.cpp file and registers
// itself with a static QmxCommand object.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qmxtool {

using Args = std::vector<std::string>;
// Returns the process exit code; prints its own output.
using CommandFn = std::function<int(const Args& args)>;

struct CommandInfo {
  std::string usage;  // one-line usage shown by "qmx help"
  CommandFn run;
  int demoOrder;      // position in "qmx demo" (negative: not part of the demo)
  CommandFn demo;     // runs this command's part of the demo on the bundled data
};

std::map<std::string, CommandInfo>& Registry();

struct QmxCommand {
  QmxCommand(const std::string& name, const std::string& usage, CommandFn run, int demoOrder = -1,
             CommandFn demo = nullptr) {
    Registry()[name] = CommandInfo{usage, std::move(run), demoOrder, std::move(demo)};
  }
};

// Helpers shared by the commands.
// Value of "--name VALUE" in args (empty when absent); flag presence with HasFlag.
std::string Option(const Args& args, const std::string& name, const std::string& def = "");
bool HasFlag(const Args& args, const std::string& name);
// Positional arguments (not options and not option values).
Args Positional(const Args& args, const std::vector<std::string>& optionsWithValue);
// Directory of the bundled data (QMX_DATA env var, ./data, or the source tree's data folder).
std::string DataDir();
int Fail(const std::string& message);  // prints "qmx: message" to stderr, returns 1

}  // namespace qmxtool
