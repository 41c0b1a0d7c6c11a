#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <vector>

#include "command.h"
#include "qmx/qmx.h"  // keeps the umbrella header compiling with every module

#ifndef QMX_VERSION
#define QMX_VERSION "unknown"
#endif

namespace qmxtool {

std::map<std::string, CommandInfo>& Registry() {
  static std::map<std::string, CommandInfo> r;
  return r;
}

OutputOptions& Output() {
  static OutputOptions o;
  return o;
}

CLI::App* Subcommand(CLI::App& parent, const std::string& name, const std::string& description) {
  CLI::App* sub = parent.add_subcommand(name, description);
  sub->fallthrough();
  return sub;
}

CLI::Option* AddFile(CLI::App& app, std::string& file, const std::string& what) {
  return app.add_option("file", file, what)->required();
}

CLI::Option* AddColumn(CLI::App& app, std::string& column, const std::string& what) {
  return app.add_option("--column,-c", column, what);
}

CLI::Option* AddXY(CLI::App& app, std::string& x, std::string& y) {
  app.add_option("--x", x, "x column: number from 1 or name");
  return app.add_option("--y", y, "y column: number from 1 or name");
}

CLI::Option* AddSeed(CLI::App& app, uint64_t& seed, bool& given) {
  return app.add_option_function<uint64_t>(
      "--seed", [&seed, &given](const uint64_t& s) { seed = s; given = true; },
      "seed of the random generator (repeatable runs)");
}

CLI::Option* AddSvg(CLI::App& app) {
  return app.add_option("--svg", Output().svg, "write the plot as SVG to this file");
}

namespace {
std::string& StdinCopy() {
  static std::string path;
  return path;
}
void RemoveStdinCopy() {
  if (!StdinCopy().empty()) std::remove(StdinCopy().c_str());
}
}  // namespace

std::string InputPath(const std::string& arg) {
  if (arg != "-") return arg;
  if (!StdinCopy().empty()) return StdinCopy();
  std::error_code ec;
  std::string tmpl = (std::filesystem::temp_directory_path(ec) / "qmx-stdin-XXXXXX").string();
  if (ec) tmpl = "/tmp/qmx-stdin-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) throw std::runtime_error("cannot make a temporary copy of standard input");
  StdinCopy() = buf.data();
  std::atexit(RemoveStdinCopy);
  char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) {
    for (std::size_t done = 0; done < got;) {
      const ssize_t w = write(fd, chunk + done, got - done);
      if (w <= 0) {
        close(fd);
        throw std::runtime_error("cannot copy standard input to " + StdinCopy());
      }
      done += static_cast<std::size_t>(w);
    }
  }
  close(fd);
  return StdinCopy();
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

void PrintJson(const Json& doc) { std::cout << doc.Dump() << "\n"; }

void Report::Text(const std::string& s) const {
  if (!JsonOutput()) std::cout << s;
}

void Report::Printf(const char* fmt, ...) const {
  if (JsonOutput()) return;
  std::cout.flush();
  va_list ap;
  va_start(ap, fmt);
  std::vprintf(fmt, ap);
  va_end(ap);
  std::fflush(stdout);
}

void Report::Value(const std::string& key, const std::string& label, double v) {
  doc.Set(key, Json(v));
  Text("  " + label + " = " + Num(v, 10) + "\n");
}

int Report::Finish() const {
  if (JsonOutput()) PrintJson(doc);
  return 0;
}

std::string Num(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

}  // namespace qmxtool

using namespace qmxtool;

namespace {

std::string& DemoSvgDir() {
  static std::string d;
  return d;
}

int Demo() {
  std::vector<std::pair<int, const CommandInfo*>> parts;
  for (const auto& [name, info] : Registry())
    if (info.demoOrder >= 0 && info.demo) parts.emplace_back(info.demoOrder, &info);
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (!DemoSvgDir().empty()) {
    std::error_code ec;
    std::filesystem::create_directories(DemoSvgDir(), ec);
    if (ec) return Fail("cannot create the plot directory \"" + DemoSvgDir() + "\": " + ec.message());
  }
  std::cout << "qmx demo: a short tour on " << DataDir() << "/iris.csv\n";
  for (const auto& p : parts) {
    std::cout << "\n";
    std::cout.flush();
    int rc = p.second->demo();
    std::fflush(stdout);
    if (rc != 0) return rc;
  }
  return 0;
}

}  // namespace

namespace qmxtool {
// Directory the demo writes its plots into ("" when --svg was not given).
const std::string& DemoPlotDir() { return DemoSvgDir(); }
}  // namespace qmxtool

int main(int argc, char** argv) {
  CLI::App app{"qmx: numerical mathematics on CSV and text files"};
  app.name("qmx");
  app.set_version_flag("--version", std::string("qmx ") + QMX_VERSION);
  app.require_subcommand(1);

  std::vector<std::pair<CLI::App*, Runner>> runners;
  CLI::App* demo = app.add_subcommand("demo", "guided tour on the bundled data");
  demo->add_option("--svg", DemoSvgDir(), "write the demo's plots into this directory");
  for (auto& [name, info] : Registry()) {
    CLI::App* sub = app.add_subcommand(name, info.description);
    sub->add_flag("--json", Output().json, "print the results as one JSON document");
    sub->fallthrough();
    runners.emplace_back(sub, info.setup(*sub));
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  try {
    if (demo->parsed()) return Demo();
    for (auto& [sub, run] : runners)
      if (sub->parsed()) return run();
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return Fail("no command given (qmx --help lists them)");
}
