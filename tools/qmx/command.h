// Command registry of the qmx tool. Each command lives in its own cmd_*.cpp file and registers
// itself with a static QmxCommand object; arguments are parsed by CLI11.
//
// A command's setup function receives the command's own CLI::App: it declares the options (bound
// to state it owns, typically a shared_ptr to an options struct) and returns the function that
// runs the command once the arguments have been parsed. Nested commands ("qmx test normality")
// add their subcommands with Subcommand() inside the setup and look at ->parsed() in the runner.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "json.h"

namespace qmxtool {

using Runner = std::function<int()>;            // returns the process exit code
using SetupFn = std::function<Runner(CLI::App& app)>;
using DemoFn = std::function<int()>;            // this command's part of "qmx demo"

struct CommandInfo {
  std::string description;  // one line, shown by "qmx --help"
  SetupFn setup;
  int demoOrder;            // position in "qmx demo" (negative: not part of the demo)
  DemoFn demo;
};

std::map<std::string, CommandInfo>& Registry();

struct QmxCommand {
  QmxCommand(const std::string& name, const std::string& description, SetupFn setup,
             int demoOrder = -1, DemoFn demo = nullptr) {
    Registry()[name] = CommandInfo{description, std::move(setup), demoOrder, std::move(demo)};
  }
};

// Process-wide output settings, set from the shared options before a command runs.
struct OutputOptions {
  bool json = false;  // --json: one JSON document on standard output instead of the text layout
  std::string svg;    // --svg FILE: where the command's plot goes (commands that plot)
};
OutputOptions& Output();
inline bool JsonOutput() { return Output().json; }

// A nested command ("normality" of "qmx test"); shared options given after it reach the parent.
CLI::App* Subcommand(CLI::App& parent, const std::string& name, const std::string& description);

// Shared option spellings. The column options take a number (from 1) or a column name.
CLI::Option* AddFile(CLI::App& app, std::string& file, const std::string& what = "input file (- reads standard input)");
CLI::Option* AddColumn(CLI::App& app, std::string& column, const std::string& what = "column: number from 1 or name");
CLI::Option* AddXY(CLI::App& app, std::string& x, std::string& y);
CLI::Option* AddSeed(CLI::App& app, uint64_t& seed, bool& given);
CLI::Option* AddSvg(CLI::App& app);
// Validator of whole numbers from 1 (CLI11's own positive-number check prints the double range).
inline CLI::Range Positive() { return CLI::Range(1, 2147483647); }

// Resolves a column given by number (1-based) or name against the column names. Returns the
// 0-based index, or -1 with a message in err.
int ResolveColumn(const std::string& ref, const std::vector<std::string>& names, std::string& err);

// The path a file-reading library call should open for the argument: the argument itself, or
// for "-" a temporary copy of standard input (made once, removed at exit).
std::string InputPath(const std::string& arg);

// Directory of the bundled data (QMX_DATA env var, ./data, or the source tree's data folder).
std::string DataDir();
int Fail(const std::string& message);  // prints "qmx: message" to stderr, returns 1

// Directory "qmx demo --svg DIR" writes its plots into ("" when not asked for).
const std::string& DemoPlotDir();

// Prints a JSON document on standard output (pretty, two-blank indent, newline at the end).
void PrintJson(const Json& doc);

// Collects a command's results: text lines go to standard output unless --json is on; values
// go into the JSON document, which Finish() prints when --json is on.
class Report {
 public:
  Json doc = Json::Object();
  // Text layout only.
  void Text(const std::string& s) const;
  void Printf(const char* fmt, ...) const __attribute__((format(printf, 2, 3)));
  // Both layouts: JSON member key = value; text "  label = value" (value in %.10g).
  void Value(const std::string& key, const std::string& label, double v);
  int Finish() const;  // prints the JSON document if asked for; returns 0
};

// Number text for the text layouts ("%.*g").
std::string Num(double v, int digits = 6);

}  // namespace qmxtool
