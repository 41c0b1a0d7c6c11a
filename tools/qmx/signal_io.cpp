#include "signal_io.h"

#include <algorithm>
#include <cstdio>

#include "command.h"
#include "csv.h"
#include "plot.h"

namespace qmxtool {

bool ReadSignal(const std::string& file, const std::string& column, Signal& s, std::string& err,
                std::size_t maxValues) {
  s.file = file == "-" ? "standard input" : file;
  NumericTable t;
  if (!ReadNumericTable(InputPath(file), t, err, maxValues, 10000)) return false;
  long ix = 0;
  if (!column.empty()) {
    ix = KeptColumnIndex(t, column, s.file, err);
    if (ix < 0) return false;
  }
  if (t.rows.empty() || t.names.empty()) {
    err = "no numeric data in \"" + s.file + "\"";
    return false;
  }
  s.name = t.names[static_cast<std::size_t>(ix)];
  s.values.clear();
  s.values.reserve(t.rows.size());
  for (const auto& row : t.rows) s.values.push_back(row[static_cast<std::size_t>(ix)]);
  return true;
}

int PrintSignalPair(const Signal& s, const std::vector<double>& out, const std::string& outName,
                    bool plotted, bool split) {
  if (plotted && !Output().svg.empty()) {
    plot::Figure fig(s.name + " before and after (" + outName + ")");
    plot::Panel& a = fig.AddPanel(0, 0, 1, split ? 0.5 : 1);
    plot::Panel& b = split ? fig.AddPanel(0, 0.5, 1, 1) : a;
    std::vector<double> ix(out.size());
    for (std::size_t i = 0; i < ix.size(); ++i) ix[i] = static_cast<double>(i + 1);
    const std::vector<double> in(s.values.begin(), s.values.begin() + static_cast<long>(std::min(s.values.size(), out.size())));
    a.Line({ix.begin(), ix.begin() + static_cast<long>(in.size())}, in, "#999999", s.name, 1);
    // Only the input's length: zeros padded on for a transform would flatten the picture.
    b.Line({ix.begin(), ix.begin() + static_cast<long>(in.size())},
           {out.begin(), out.begin() + static_cast<long>(in.size())}, plot::Palette(0), outName, 1.5);
    a.SetX(split ? "" : "index");
    a.SetY(split ? s.name : s.name + ", " + outName);
    if (split) {
      b.SetX("index");
      b.SetY(outName);
    }
    std::string err;
    if (!fig.Save(Output().svg, err)) return Fail(err);
  }
  if (JsonOutput()) {
    Json doc = Json::Object();
    doc.Set("file", s.file);
    doc.Set("column", s.name);
    doc.Set(s.name, Json::ArrayOf(s.values));
    doc.Set(outName, Json::ArrayOf(out));
    PrintJson(doc);
    return 0;
  }
  std::printf("index,%s,%s\n", s.name.c_str(), outName.c_str());
  for (std::size_t i = 0; i < out.size(); ++i)
    std::printf("%zu,%.17g,%.17g\n", i + 1, i < s.values.size() ? s.values[i] : 0.0, out[i]);
  return 0;
}

void SignalVectors(const Signal& s, qmx::TVector& src, qmx::TVector& dst) {
  src.Resize(static_cast<int32_t>(s.values.size()));
  std::copy(s.values.begin(), s.values.end(), src.Data().begin());
  dst.Resize(src.NrOfElem());
}

std::vector<double> Values(const qmx::TVector& v) { return {v.Data().begin(), v.Data().end()}; }

std::size_t NextPowerOfTwo(std::size_t n) {
  std::size_t p = 1;
  while (p < n) p *= 2;
  return p;
}

}  // namespace qmxtool
