// The signal commands as a user runs them: results agree with what the signal is known to
// contain, CSV output pipes on, non-power-of-two lengths are padded or refused as said.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ToolRun {
  int rc;
  std::string out;
};

// Standard output, and with withErrors standard error too (the tool's notes and messages).
ToolRun Qmx(const std::string& args, bool withErrors = false) {
  const std::string cmd = std::string(QMX_TOOL_PATH) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), &pclose);
  ToolRun r{-1, ""};
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p.get())) > 0;) r.out.append(buf, n);
  const int st = pclose(p.release());
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// A file of n samples of 2 sin(2 pi f j) (+ 0.5 for the offset), one per line, with a header.
std::string SineFile(const std::string& name, int n, double f, double offset = 0) {
  const std::string path = testing::TempDir() + "/" + name;
  std::ofstream o(path);
  o << "x\n";
  o.precision(17);
  for (int j = 0; j < n; ++j) o << 2 * std::sin(2 * std::numbers::pi * f * j) + offset << "\n";
  return path;
}

// Third CSV column of the data rows (index, input, result).
std::vector<double> ResultColumn(const std::string& csv) {
  std::istringstream in(csv);
  std::string line;
  std::vector<double> v;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const auto c = line.rfind(',');
    if (c == std::string::npos) continue;
    v.push_back(std::stod(line.substr(c + 1)));
  }
  return v;
}

}  // namespace

TEST(SignalTool, FftFindsTheSineAndSaysItPads) {
  const std::string f = SineFile("sine64.txt", 64, 5.0 / 64);
  ToolRun r = Qmx("fft " + f + " --peaks 1");
  ASSERT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(r.out.find("line      5"), std::string::npos) << r.out;
  // Magnitude of line 5 is the amplitude 2.
  EXPECT_NE(r.out.find("\n5,0.078125,2,"), std::string::npos) << r.out;
  const std::string g = SineFile("sine60.txt", 60, 0.1);
  r = Qmx("fft " + g + " --json");
  ASSERT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("\"size\": 64"), std::string::npos);
  EXPECT_NE(r.out.find("\"padded\": true"), std::string::npos);
  r = Qmx("fft " + g + " --no-pad", true);
  EXPECT_NE(r.rc, 0);
  EXPECT_NE(r.out.find("60 samples is not a power of two"), std::string::npos) << r.out;
  EXPECT_NE(Qmx("fft " + g + " --window nosuch").rc, 0);
}

TEST(SignalTool, SmoothDerivFilterAndDwt) {
  const int n = 256;
  const double f = 1.0 / 64;
  const std::string path = SineFile("sine256.txt", n, f, 0.5);
  // The quadratic window keeps a slow sine nearly unchanged; the derivative is its slope.
  std::vector<double> s = ResultColumn(Qmx("smooth " + path + " --method poly --window 7").out);
  ASSERT_EQ(s.size(), std::size_t(n));
  for (int j = 10; j < n - 10; ++j)
    EXPECT_NEAR(s[j], 2 * std::sin(2 * std::numbers::pi * f * j) + 0.5, 2e-3) << j;
  std::vector<double> d = ResultColumn(Qmx("deriv " + path + " --order 1 --window 5").out);
  ASSERT_EQ(d.size(), std::size_t(n));
  for (int j = 10; j < n - 10; ++j)
    EXPECT_NEAR(d[j], 4 * std::numbers::pi * f * std::cos(2 * std::numbers::pi * f * j), 2e-3) << j;
  // A high-pass well above the sine removes it and the offset.
  std::vector<double> h = ResultColumn(Qmx("filter " + path + " --cheb-highpass 0.2 --poles 4 --ripple 0.5").out);
  ASSERT_EQ(h.size(), std::size_t(n));
  for (int j = 30; j < n - 30; ++j) EXPECT_NEAR(h[j], 0.0, 1e-3) << j;
  std::vector<double> l = ResultColumn(Qmx("filter " + path + " --lowpass 0.1 --taps 51").out);
  for (int j = 30; j < n - 30; ++j)
    EXPECT_NEAR(l[j], 2 * std::sin(2 * std::numbers::pi * f * j) + 0.5, 1e-3) << j;
  EXPECT_NE(Qmx("filter " + path + " --lowpass 0.1 --highpass 0.2").rc, 0);
  EXPECT_NE(Qmx("filter " + path + " --cheb-lowpass 0.1 --poles 3").rc, 0);
  // Coefficients piped into the inverse give the signal back.
  ToolRun r = Qmx("dwt " + path + " --order 3 --levels 4 --ext wrap | cut -d, -f3 | " +
              QMX_TOOL_PATH + " dwt - --order 3 --levels 4 --inverse");
  ASSERT_EQ(r.rc, 0) << r.out;
  std::vector<double> back = ResultColumn(r.out);
  ASSERT_EQ(back.size(), std::size_t(n));
  for (int j = 0; j < n; ++j)
    EXPECT_NEAR(back[j], 2 * std::sin(2 * std::numbers::pi * f * j) + 0.5, 1e-12) << j;
  // Threshold 0 keeps every coefficient: the denoised signal is the signal.
  std::vector<double> same = ResultColumn(Qmx("dwt " + path + " --order 2 --threshold 0").out);
  ASSERT_EQ(same.size(), std::size_t(n));
  for (int j = 0; j < n; ++j)
    EXPECT_NEAR(same[j], 2 * std::sin(2 * std::numbers::pi * f * j) + 0.5, 1e-12) << j;
  EXPECT_NE(Qmx("dwt " + path + " --order 4").rc, 0);
}
