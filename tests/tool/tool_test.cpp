// The qmx tool as a user runs it: JSON output parses and agrees with the text layout, plots are
// well-formed SVG with the expected elements, standard input and column names work, bad
// arguments give a non-zero exit.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Result {
  int rc;
  std::string out;
};

Result Qmx(const std::string& args) {
  const std::string cmd = std::string(QMX_TOOL_PATH) + " " + args + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), &pclose);
  Result r{-1, ""};
  if (!p) return r;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p.get())) > 0;) r.out.append(buf, n);
  const int st = pclose(p.release());
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string Iris() { return std::string(QMX_DATA_DIR) + "/iris.csv"; }

// A small strict JSON reader, independent of the tool's writer.
struct J {
  enum K { kNull, kBool, kNum, kStr, kArr, kObj } k = kNull;
  double num = 0;
  bool b = false;
  std::string str;
  std::vector<J> arr;
  std::vector<std::pair<std::string, J>> obj;
  const J& operator[](const std::string& key) const {
    for (const auto& m : obj)
      if (m.first == key) return m.second;
    static const J none;
    return none;
  }
  bool Has(const std::string& key) const {
    for (const auto& m : obj)
      if (m.first == key) return true;
    return false;
  }
};

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}
  bool Parse(J& out) {
    if (!Value(out)) return false;
    Ws();
    return i_ == s_.size();
  }

 private:
  void Ws() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  bool Lit(const char* w) {
    const std::string t(w);
    if (s_.compare(i_, t.size(), t) != 0) return false;
    i_ += t.size();
    return true;
  }
  bool Str(std::string& out) {
    if (s_[i_] != '"') return false;
    for (++i_; i_ < s_.size(); ++i_) {
      const char c = s_[i_];
      if (c == '"') {
        ++i_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c == '\\') {
        if (++i_ >= s_.size()) return false;
        const char e = s_[i_];
        if (e == 'u') {
          if (i_ + 4 >= s_.size()) return false;
          out += static_cast<char>(std::stoi(s_.substr(i_ + 1, 4), nullptr, 16));
          i_ += 4;
        } else {
          const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
          const auto pos = from.find(e);
          if (pos == std::string::npos) return false;
          out += to[pos];
        }
      } else {
        out += c;
      }
    }
    return false;
  }
  bool Value(J& v) {
    Ws();
    if (i_ >= s_.size()) return false;
    const char c = s_[i_];
    if (c == '{') {
      v.k = J::kObj;
      ++i_;
      Ws();
      if (s_[i_] == '}') return ++i_, true;
      for (;;) {
        Ws();
        std::string key;
        if (!Str(key)) return false;
        Ws();
        if (s_[i_++] != ':') return false;
        J m;
        if (!Value(m)) return false;
        v.obj.emplace_back(key, std::move(m));
        Ws();
        if (s_[i_] == ',') { ++i_; continue; }
        if (s_[i_] == '}') return ++i_, true;
        return false;
      }
    }
    if (c == '[') {
      v.k = J::kArr;
      ++i_;
      Ws();
      if (s_[i_] == ']') return ++i_, true;
      for (;;) {
        J m;
        if (!Value(m)) return false;
        v.arr.push_back(std::move(m));
        Ws();
        if (s_[i_] == ',') { ++i_; continue; }
        if (s_[i_] == ']') return ++i_, true;
        return false;
      }
    }
    if (c == '"') return v.k = J::kStr, Str(v.str);
    if (Lit("null")) return v.k = J::kNull, true;
    if (Lit("true")) return v.k = J::kBool, v.b = true, true;
    if (Lit("false")) return v.k = J::kBool, v.b = false, true;
    const char* b = s_.c_str() + i_;
    char* e = nullptr;
    v.num = std::strtod(b, &e);
    if (e == b) return false;
    v.k = J::kNum;
    i_ += static_cast<std::size_t>(e - b);
    return true;
  }
  const std::string& s_;
  std::size_t i_ = 0;
};

J ParseJson(const std::string& text) {
  J j;
  EXPECT_TRUE(Parser(text).Parse(j)) << text.substr(0, 400);
  return j;
}

// Value printed after "label" on a text line ("  label = 1.23" or "  label   1.23").
double TextValue(const std::string& text, const std::string& label) {
  const auto at = text.find(label);
  if (at == std::string::npos) return NAN;
  std::size_t i = at + label.size();
  while (i < text.size() && (text[i] == ' ' || text[i] == '=')) ++i;
  return std::strtod(text.c_str() + i, nullptr);
}

TEST(Tool, HelpVersionAndBadArguments) {
  EXPECT_EQ(Qmx("--help").rc, 0);
  const Result v = Qmx("--version");
  EXPECT_EQ(v.rc, 0);
  EXPECT_NE(v.out.find("qmx "), std::string::npos);
  EXPECT_EQ(Qmx("describe --help").rc, 0);
  EXPECT_NE(Qmx("").rc, 0);
  EXPECT_NE(Qmx("nosuchcommand").rc, 0);
  EXPECT_NE(Qmx("dist t quantile 0.975 --df 0").rc, 0);
  EXPECT_NE(Qmx("dist weibull cdf 1").rc, 0);
  EXPECT_NE(Qmx("describe " + Iris() + " --column 9").rc, 0);
  EXPECT_NE(Qmx("describe /nonexistent/file.csv").rc, 0);
}

TEST(Tool, DescribeJsonMatchesText) {
  const Result t = Qmx("describe " + Iris() + " --column 3");
  const Result j = Qmx("describe " + Iris() + " --column petal_length --json");
  ASSERT_EQ(t.rc, 0);
  ASSERT_EQ(j.rc, 0);
  const J d = ParseJson(j.out);
  EXPECT_EQ(d["count"].num, 150);
  EXPECT_EQ(d["name"].str, "petal_length");
  // Hand-checked values of the iris petal lengths.
  EXPECT_NEAR(d["mean"].num, 3.758, 1e-12);
  EXPECT_EQ(d["minimum"].num, 1.0);
  EXPECT_EQ(d["maximum"].num, 6.9);
  EXPECT_NEAR(d["mean"].num, TextValue(t.out, "mean"), 1e-5);
  EXPECT_NEAR(d["std_dev"].num, TextValue(t.out, "standard deviation"), 1e-5);
  double total = 0;
  for (const auto& c : d["histogram"]["counts"].arr) total += c.num;
  EXPECT_EQ(total, 150);
}

TEST(Tool, StandardInputAndColumnNames) {
  const Result a = Qmx("corr " + Iris() + " --json");
  const Result b = Qmx("corr - --json < " + Iris());
  ASSERT_EQ(a.rc, 0);
  ASSERT_EQ(b.rc, 0);
  const J ja = ParseJson(a.out), jb = ParseJson(b.out);
  ASSERT_EQ(ja["correlation"].arr.size(), 4u);
  for (std::size_t r = 0; r < 4; ++r)
    for (std::size_t c = 0; c < 4; ++c)
      EXPECT_EQ(ja["correlation"].arr[r].arr[c].num, jb["correlation"].arr[r].arr[c].num);
  EXPECT_NEAR(ja["correlation"].arr[2].arr[2].num, 1.0, 1e-14);
  const Result byName = Qmx("fit " + Iris() + " --x petal_length --y petal_width --json");
  const Result byNumber = Qmx("fit " + Iris() + " --x 3 --y 4 --json");
  ASSERT_EQ(byName.rc, 0);
  EXPECT_EQ(ParseJson(byName.out)["k"].num, ParseJson(byNumber.out)["k"].num);
}

TEST(Tool, EveryCommandPrintsJson) {
  const std::string f = Iris();
  const std::vector<std::string> cmds = {
      "describe " + f, "corr " + f, "distances " + f + " --rows 3", "dist normal cdf 1.5",
      "pca " + f + " --mode corr", "fit " + f + " --x 3 --y 4 --model parabola",
      "bivar " + f + " --x 3 --y 4", "table " + f, "scale 0 100", "num 255 --hex",
      "cluster kmeans " + f + " --k 3", "cluster hclust " + f + " --cut 3",
      "knn " + f + " --k 3 --query 6,3,5,2", "regress " + f + " --y 4", "pls " + f + " --y 4 --components 2",
      "hull " + f + " --x 3 --y 4", "som " + f + " --size 3x3 --steps 5", "test normality " + f + " -c 2",
      "test outliers " + f + " -c 2", "test runs " + f + " -c 1"};
  for (const auto& c : cmds) {
    const Result r = Qmx(c + " --json");
    EXPECT_EQ(r.rc, 0) << c;
    const J j = ParseJson(r.out);
    EXPECT_EQ(j.k, J::kObj) << c;
  }
  // Text and JSON agree for a fit and a distribution value.
  const Result ft = Qmx("fit " + f + " --x 3 --y 4");
  const J fj = ParseJson(Qmx("fit " + f + " --x 3 --y 4 --json").out);
  EXPECT_NEAR(fj["k"].num, TextValue(ft.out, "k ="), 1e-9);
  EXPECT_NEAR(fj["fit_quality"].num, TextValue(ft.out, "fit quality (R^2) ="), 1e-9);
  const J dj = ParseJson(Qmx("dist normal cdf 1.5 --json").out);
  EXPECT_NEAR(dj["value"].num, 0.9331927987311419, 1e-9);  // Phi(1.5), to the incomplete gamma's accuracy
}

TEST(Tool, ScaleAndNumberTexts) {
  const J s = ParseJson(Qmx("scale 0 100 --ticks 4 --json").out);
  EXPECT_EQ(s["tick_distance"].num, 20);
  EXPECT_EQ(s["first_tick"].num, 0);
  EXPECT_EQ(s["sub_ticks"].num, 4);
  ASSERT_EQ(s["ticks"].arr.size(), 6u);  // 0, 20, ..., 100
  EXPECT_EQ(s["ticks"].arr[5].num, 100);
  EXPECT_EQ(s["range_round125"].num, 100);
  const J n = ParseJson(Qmx("num 1994 --json").out);
  EXPECT_EQ(n["roman"].str, "MCMXCIV");
  EXPECT_EQ(n["hex"].str, "000007CA");
  EXPECT_EQ(n["double_hex"].str, "409F280000000000");
  EXPECT_EQ(Qmx("num 4700 --eng -2").out, "  engineering  4k7\n");
  EXPECT_EQ(Qmx("num --from-hex 3FF0000000000000").out, "1\n");
  EXPECT_NE(Qmx("num --from-hex 3FF000").rc, 0);
  EXPECT_NE(Qmx("num 1.5 --roman").rc, 0);
  EXPECT_NE(Qmx("num 12abc").rc, 0);
  EXPECT_NE(Qmx("scale 0 nan").rc, 0);
}

pugi::xml_document Svg(const std::string& args, const std::string& name) {
  const std::string path = testing::TempDir() + "/" + name;
  std::remove(path.c_str());
  EXPECT_EQ(Qmx(args + " --svg " + path).rc, 0) << args;
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file(path.c_str())) << path;
  return doc;
}

std::size_t Count(const pugi::xml_document& d, const char* xpath) {
  return d.select_nodes(xpath).size();
}

TEST(Tool, PlotsAreWellFormedWithTheirElements) {
  const std::string f = Iris();
  {
    const auto d = Svg("describe " + f + " --column 3", "describe.svg");
    const J j = ParseJson(Qmx("describe " + f + " --column 3 --json").out);
    EXPECT_EQ(Count(d, "//rect[@class='bar']"), j["histogram"]["counts"].arr.size());
    EXPECT_EQ(Count(d, "//g[@class='boxplot']"), 1u);
    EXPECT_NE(std::string(d.child("svg").child("title").text().get()).find("petal_length"), std::string::npos);
  }
  {
    const auto d = Svg("fit " + f + " --x 3 --y 4", "fit.svg");
    EXPECT_EQ(Count(d, "//circle[@class='marker']"), 300u);  // 150 data + 150 residuals
    EXPECT_EQ(Count(d, "//polyline[@class='line']"), 1u);
    EXPECT_GE(Count(d, "//text[@class='xlabel']"), 1u);
  }
  {
    const auto d = Svg("pca " + f, "pca.svg");
    EXPECT_EQ(Count(d, "//g[@class='arrow']"), 4u);  // one loading per variable
    EXPECT_EQ(Count(d, "//rect[@class='bar']"), 4u);  // scree
  }
  {
    for (const char* c : {"smooth --method poly --window 11", "deriv --order 1", "dwt --order 2 --threshold 0.5"}) {
      const auto d = Svg(std::string(c).insert(std::string(c).find(' '), " " + f + " --column 1"), "signal.svg");
      EXPECT_EQ(Count(d, "//polyline[@class='line']"), 2u) << c;  // before and after
    }
  }
  {
    const auto d = Svg("fft " + f + " --column 1", "fft.svg");
    EXPECT_EQ(Count(d, "//polyline[@class='line']"), 1u);  // one spectrum
    EXPECT_NE(std::string(d.child("svg").child("title").text().get()).find("sepal_length"), std::string::npos);
  }
}

TEST(Tool, DemoPlotsRender) {
  const std::string dir = testing::TempDir() + "/qmx-demo-plots";
  ASSERT_EQ(Qmx("demo --svg " + dir).rc, 0);
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert not installed";
  for (const char* p : {"describe", "fit", "pca", "fft", "qq", "dendrogram", "kmeans", "som"}) {
    const std::string svg = dir + "/" + p + ".svg", png = dir + "/" + p + ".png";
    EXPECT_EQ(std::system(("rsvg-convert " + svg + " -o " + png).c_str()), 0) << svg;
  }
}

TEST(Tool, TableAndDescribeReadThroughTheDataTable) {
  const J t = ParseJson(Qmx("table " + Iris() + " --json").out);
  EXPECT_EQ(t["columns"].num, 5);
  EXPECT_EQ(t["rows"].num, 150);
  ASSERT_EQ(t["column_list"].arr.size(), 5u);
  const J& species = t["column_list"].arr[4];
  EXPECT_EQ(species["scale"].str, "Nominal");
  ASSERT_EQ(species["identifiers"].arr.size(), 3u);
  EXPECT_EQ(species["identifiers"].arr[0].str, "setosa");
  EXPECT_EQ(t["column_list"].arr[2]["maximum"].num, 6.9);
  EXPECT_EQ(t["crc_cell_states"].str.size(), 64u);
  // A nominal column is described by its frequencies; empty cells are counted and skipped.
  const J s = ParseJson(Qmx("describe " + Iris() + " --column species --json").out);
  EXPECT_EQ(s["frequencies"]["versicolor"].num, 50);
  const std::string f = testing::TempDir() + "/tool_empty.csv";
  std::FILE* out = std::fopen(f.c_str(), "w");
  std::fputs("a;b\n1;2\n;3\n4;\n5;6\n", out);
  std::fclose(out);
  const J d = ParseJson(Qmx("describe " + f + " --column b --json").out);
  EXPECT_EQ(d["count"].num, 3);
  EXPECT_EQ(d["empty"].num, 1);
  EXPECT_NEAR(d["mean"].num, 11.0 / 3.0, 1e-12);
  EXPECT_NE(Qmx("table /nonexistent/file.csv").rc, 0);
}

}  // namespace

// Training, saving and applying a map: every object is counted once, and the iris setosa plants
// (lines 2 to 51, separable from the other species) share no cell with the others.
TEST(Tool, SomTrainsSavesAndApplies) {
  const std::string map = testing::TempDir() + "/tool_som.xml";
  std::remove(map.c_str());
  const Result t = Qmx("som " + Iris() + " --size 6x4 --standardize --seed 3 --steps 40 --save " + map + " --json");
  ASSERT_EQ(t.rc, 0);
  const J tj = ParseJson(t.out);
  double hits = 0;
  ASSERT_EQ(tj["hits"].arr.size(), 4u);
  for (const auto& row : tj["hits"].arr) {
    EXPECT_EQ(row.arr.size(), 6u);
    for (const auto& h : row.arr) hits += h.num;
  }
  EXPECT_EQ(hits, 150);
  EXPECT_EQ(tj["label_column"].str, "species");
  const Result a = Qmx("som apply " + map + " " + Iris() + " --json");
  ASSERT_EQ(a.rc, 0);
  const J aj = ParseJson(a.out);
  ASSERT_EQ(aj["rows"].arr.size(), 150u);
  std::map<std::pair<int, int>, int> kind;  // 1 setosa, 2 other, 3 both
  for (const auto& r : aj["rows"].arr) {
    const int line = static_cast<int>(r["line"].num);
    kind[{static_cast<int>(r["x"].num), static_cast<int>(r["y"].num)}] |= line <= 51 ? 1 : 2;
    EXPECT_GE(r["distance"].num, 0.0);
  }
  for (const auto& [cell, k] : kind) EXPECT_NE(k, 3) << cell.first << "," << cell.second;
  EXPECT_NE(Qmx("som " + Iris() + " --size 0x4").rc, 0);
  EXPECT_NE(Qmx("som apply " + Iris() + " " + Iris()).rc, 0);
  EXPECT_NE(Qmx("som").rc, 0);
}

TEST(Tool, HypothesisTests) {
  const std::string f = Iris();
  // Widely published results for the iris data.
  const J n = ParseJson(Qmx("test normality " + f + " --column sepal_width --json").out);
  EXPECT_NEAR(n["shapiro_wilk"]["statistic"].num, 0.98492, 5e-6);
  EXPECT_NEAR(n["shapiro_wilk"]["p"].num, 0.1012, 5e-5);
  EXPECT_EQ(n["count"].num, 150);
  const J a = ParseJson(Qmx("test anova " + f + " --value petal_length --group species --json").out);
  EXPECT_NEAR(a["F"].num, 1180.16, 0.01);
  EXPECT_EQ(a["df_between"].num, 2);
  EXPECT_EQ(a["df_within"].num, 147);
  EXPECT_EQ(a["groups"].arr.size(), 3u);
  const J t = ParseJson(Qmx("test ttest " + f + " --x 1 --y 2 --welch --json").out);
  EXPECT_NEAR(t["t"].num, 36.463, 5e-4);
  EXPECT_NEAR(t["df"].num, 225.68, 5e-3);
  EXPECT_TRUE(t["rejected"].b);
  for (const std::string& c : {"outliers " + f + " --column 2", "mannwhitney " + f + " --x 3 --y 4",
                              "runs " + f + " --column 1"}) {
    const Result r = Qmx("test " + c + " --json");
    EXPECT_EQ(r.rc, 0) << c;
    EXPECT_EQ(ParseJson(r.out).k, J::kObj) << c;
  }
  EXPECT_NE(Qmx("test").rc, 0);
  EXPECT_NE(Qmx("test ttest " + f + " --paired --welch").rc, 0);
  EXPECT_NE(Qmx("test anova " + f + " --group 9").rc, 0);
  EXPECT_NE(Qmx("test normality /nonexistent/file.csv").rc, 0);
}

namespace {
// Blank-separated numbers (no delimiter at all) are still read as a table.
TEST(Tool, BlankSeparatedMatrix) {
  const std::string path = testing::TempDir() + "/blank_matrix.txt";
  {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("  2 1\n1    3\n", f);
    std::fclose(f);
  }
  const Result d = Qmx("det " + path + " --json");
  ASSERT_EQ(d.rc, 0);
  EXPECT_NEAR(ParseJson(d.out)["determinant"].num, 5.0, 1e-12);
}
}  // namespace

namespace {
// The normal Q-Q plot holds one marker per value and the reference line.
TEST(Tool, NormalQQPlot) {
  const std::string path = testing::TempDir() + "/qq.svg";
  std::remove(path.c_str());
  ASSERT_EQ(Qmx("test normality " + Iris() + " --column sepal_width --svg " + path).rc, 0);
  pugi::xml_document d;
  ASSERT_TRUE(d.load_file(path.c_str()));
  EXPECT_EQ(d.select_nodes("//circle[@class='marker']").size(), 150u);
  EXPECT_EQ(d.select_nodes("//polyline[@class='line']").size(), 1u);
}
}  // namespace

namespace {
// The dendrogram draws one polyline per merge and the cut as a rule.
TEST(Tool, DendrogramPlot) {
  const std::string path = testing::TempDir() + "/dendrogram.svg";
  std::remove(path.c_str());
  ASSERT_EQ(Qmx("cluster hclust " + Iris() + " --method average --cut 3 --svg " + path).rc, 0);
  pugi::xml_document d;
  ASSERT_TRUE(d.load_file(path.c_str()));
  EXPECT_EQ(d.select_nodes("//polyline[@class='line']").size(), 149u);
}
}  // namespace

namespace {
// k-means: one marker per object and one per centre.
TEST(Tool, KMeansPlot) {
  const std::string path = testing::TempDir() + "/kmeans.svg";
  std::remove(path.c_str());
  ASSERT_EQ(Qmx("cluster kmeans " + Iris() + " --k 3 --svg " + path).rc, 0);
  pugi::xml_document d;
  ASSERT_TRUE(d.load_file(path.c_str()));
  EXPECT_EQ(d.select_nodes("//circle[@class='marker']").size(), 153u);
}
}  // namespace

namespace {
// The map plot: one heat cell per map cell in each of its two panels.
TEST(Tool, SomHeatMaps) {
  const std::string path = testing::TempDir() + "/som.svg";
  std::remove(path.c_str());
  ASSERT_EQ(Qmx("som " + Iris() + " --size 5x3 --standardize --seed 2 --steps 20 --svg " + path).rc, 0);
  pugi::xml_document d;
  ASSERT_TRUE(d.load_file(path.c_str()));
  EXPECT_EQ(d.select_nodes("//rect[@class='cell']").size(), 30u);
  EXPECT_EQ(d.select_nodes("//g[@class='heatmap']").size(), 2u);
}
}  // namespace
