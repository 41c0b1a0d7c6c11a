// qmx table FILE: what the data table makes of a file: its shape, each column's scale, valid and
// empty cells, range or identifiers, and the checksums of names, attributes and states.
#include <iostream>
#include <memory>
#include <string>

#include "command.h"
#include "csv.h"
#include "qmx/datatable.h"

namespace {

using namespace qmxtool;

int Table(const std::string& fileArg) {
  const std::string file = fileArg == "-" ? "standard input" : fileArg;
  qmx::TDataTable t;
  bool header = false;
  std::string err;
  if (!ReadTable(InputPath(fileArg), t, header, err)) return Fail(err);
  Report rep;
  rep.Printf("%s: %d columns x %d rows%s\n", file.c_str(), t.NrOfColumns(), t.NrOfRows(),
             header ? " (first record read as column names)" : "");
  rep.doc.Set("file", file);
  rep.doc.Set("columns", t.NrOfColumns());
  rep.doc.Set("rows", t.NrOfRows());
  rep.doc.Set("header", header);
  Json cols = Json::Array();
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c) {
    const qmx::TMScaleType st = t.MScaleType(c);
    const int32_t valid = t.CountValidCells(c, 1, c, t.NrOfRows());
    const int32_t empty = t.CountEmptyCells(c, 1, c, t.NrOfRows());
    Json cj = Json::Object();
    cj.Set("column", c);
    cj.Set("name", t.ColName(c));
    cj.Set("scale", qmx::MScaleTypeNames[st]);
    cj.Set("valid", valid);
    cj.Set("empty", empty);
    std::string detail;
    if (st == qmx::stNominal || st == qmx::stOrdinal) {
      Json ids = Json::Array();
      int shown = 0;
      for (int32_t k = 1; k <= qmx::kMaxNominalIDs; ++k) {
        const std::string id = t.NominalID(c, k);
        if (id.empty()) continue;
        ids.Push(Json(id));
        if (shown++ < 8) detail += (shown > 1 ? ", " : "") + id;
        else if (shown == 9) detail += ", ...";
      }
      cj.Set("identifiers", ids);
      detail = std::to_string(shown) + " identifiers: " + detail;
    } else {
      double mn, mx;
      if (t.MinMaxOfNumCells(c, 1, c, t.NrOfRows(), mn, mx) > 0) {
        cj.Set("minimum", mn);
        cj.Set("maximum", mx);
        detail = "range " + Num(mn) + " .. " + Num(mx);
      } else {
        detail = "no numbers";
      }
    }
    rep.Printf("  %3d %-20s %-8s %7d valid %5d empty  %s\n", c, t.ColName(c).c_str(), qmx::MScaleTypeNames[st],
               valid, empty, detail.c_str());
    cols.Push(cj);
  }
  rep.doc.Set("column_list", cols);
  const std::string crcNames = t.CRCofNamesAndAttributes(), crcStates = t.CRCofCellStates();
  rep.Printf("  checksum of names and attributes %s\n  checksum of cell states          %s\n", crcNames.c_str(),
             crcStates.c_str());
  rep.doc.Set("crc_names_attributes", crcNames);
  rep.doc.Set("crc_cell_states", crcStates);
  return rep.Finish();
}

Runner Setup(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  AddFile(app, *file);
  return [file] { return Table(*file); };
}

int Demo() {
  std::cout << "== table: the iris data as a data table (the species column is nominal)\n";
  return Table(DataDir() + "/iris.csv");
}

QmxCommand reg("table", "shape, scales, counts and checksums of a file read as a data table", Setup, 5, Demo);

}  // namespace
