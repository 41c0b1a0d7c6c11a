#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "command.h"
#include "qmx/qmx.h"  // keeps the umbrella header compiling with every module

namespace qmxtool {

std::map<std::string, CommandInfo>& Registry() {
  static std::map<std::string, CommandInfo> r;
  return r;
}

std::string Option(const Args& args, const std::string& name, const std::string& def) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == name) return args[i + 1];
  return def;
}

bool HasFlag(const Args& args, const std::string& name) {
  for (const auto& a : args)
    if (a == name) return true;
  return false;
}

Args Positional(const Args& args, const std::vector<std::string>& optionsWithValue) {
  Args r;
  for (std::size_t i = 0; i < args.size(); ++i) {
    bool takesValue = false;
    for (const auto& o : optionsWithValue) takesValue |= args[i] == o;
    if (takesValue) {
      ++i;
      continue;
    }
    if (args[i].size() > 2 && args[i].rfind("--", 0) == 0) continue;
    r.push_back(args[i]);
  }
  return r;
}

std::string DataDir() {
  if (const char* d = std::getenv("QMX_DATA")) return d;
  if (std::filesystem::exists("data/iris.csv")) return "data";
#ifdef QMX_SOURCE_DATA_DIR
  return QMX_SOURCE_DATA_DIR;
#else
  return "data";
#endif
}

int Fail(const std::string& message) {
  std::cerr << "qmx: " << message << "\n";
  return 1;
}

}  // namespace qmxtool

using namespace qmxtool;

static void Usage() {
  std::cout << "usage: qmx COMMAND [ARGS]\n\ncommands:\n";
  std::cout << "  demo                      guided tour on the bundled data\n";
  for (const auto& [name, info] : Registry()) std::cout << "  " << info.usage << "\n";
}

static int Demo() {
  std::vector<std::pair<int, const CommandInfo*>> parts;
  for (const auto& [name, info] : Registry())
    if (info.demoOrder >= 0 && info.demo) parts.emplace_back(info.demoOrder, &info);
  std::sort(parts.begin(), parts.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::cout << "qmx demo: a short tour on " << DataDir() << "/iris.csv\n";
  for (const auto& p : parts) {
    std::cout << "\n";
    int rc = p.second->demo({});
    if (rc != 0) return rc;
  }
  return 0;
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    Usage();
    return args.empty() ? 2 : 0;
  }
  std::string cmd = args[0];
  args.erase(args.begin());
  try {
    if (cmd == "demo") return Demo();
    auto it = Registry().find(cmd);
    if (it == Registry().end()) {
      Usage();
      return Fail("unknown command \"" + cmd + "\"");
    }
    return it->second.run(args);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
