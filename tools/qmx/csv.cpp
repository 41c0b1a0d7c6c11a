#include "csv.h"
#include "command.h"

#include "command.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace qmxtool {

std::string CSVErrorText(int32_t code) {
  switch (code) {
    case qmx::csvErrOpen: return "cannot be opened";
    case qmx::csvErrEmpty: return "holds no data";
    case qmx::csvErrQuoting: return "has a wrongly quoted field";
    case qmx::csvErrRagged: return "has records with different numbers of fields";
    case qmx::csvErrTooManyIDs: return "has a text column with more than 150 distinct texts";
    case qmx::csvErrIDClash: return "has a text column with two texts alike in their first 10 characters";
    case qmx::csvErrTooLarge: return "is too large for a table";
    case qmx::csvErrMemory: return "needs more memory than is available";
    case qmx::csvErrAttrib: return "has a row attribute that is not an integer";
    default: return "cannot be read (code " + std::to_string(code) + ")";
  }
}

bool ReadTable(const std::string& file, qmx::TDataTable& table, bool& header, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = "\"" + file + "\" is a directory";
    return false;
  }
  header = false;
  const int32_t rc = table.ImportFromCSV(file, qmx::csvUnknown, false, false);
  if (rc == 0 && !table.ListOfCategorialVars().empty()) {
    qmx::TDataTable h;
    if (h.ImportFromCSV(file, qmx::csvUnknown, true, false) == 0) {
      // A column that holds numbers once the first record is left out: that record is a header.
      bool allText = true;
      for (int32_t c = 1; c <= h.NrOfColumns(); ++c) {
        header = header || (table.MScaleType(c) == qmx::stNominal && h.MScaleType(c) == qmx::stInterval);
        allText = allText && table.MScaleType(c) == qmx::stNominal;
      }
      // Only texts: a first record none of whose texts comes back is a header too.
      if (!header && allText) {
        header = true;
        for (int32_t c = 1; c <= table.NrOfColumns() && header; ++c)
          for (int32_t r = 2; r <= table.NrOfRows() && header; ++r)
            header = table.Elem(c, r) != table.Elem(c, 1) || table.IsEmpty(c, r);
      }
      if (header) table.CopyContentsFrom(&h);
    }
  }
  if (rc != 0) {
    error = "\"" + file + "\" " + CSVErrorText(rc);
    return false;
  }
  return true;
}

bool ReadNumericTable(const std::string& file, NumericTable& out, std::string& error, std::size_t maxRows,
                      std::size_t maxCols) {
  out = NumericTable{};
  qmx::TDataTable t;
  bool header = false;
  if (!ReadTable(file, t, header, error)) return false;
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c)
    if (t.MScaleType(c) == qmx::stInterval && t.CountNumCells(c, 1, c, t.NrOfRows()) > 0) {
      out.fileColumns.push_back(c);
      out.names.push_back(header && !t.ColName(c).empty() ? t.ColName(c) : "column " + std::to_string(c));
    }
  if (out.fileColumns.empty()) {
    error = "no numeric data in \"" + file + "\"";
    return false;
  }
  if (out.fileColumns.size() > maxCols) {
    error = "\"" + file + "\" has too many columns (" + std::to_string(out.fileColumns.size()) + ", at most " +
            std::to_string(maxCols) + ")";
    return false;
  }
  if (static_cast<std::size_t>(t.NrOfRows()) > maxRows) {
    error = "\"" + file + "\" has too many rows (at most " + std::to_string(maxRows) + ")";
    return false;
  }
  for (int32_t r = 1; r <= t.NrOfRows(); ++r) {
    const long line = r + (header ? 1 : 0);
    std::vector<double> row;
    row.reserve(out.fileColumns.size());
    for (int c : out.fileColumns) {
      const double v = t.Elem(c, r);
      if (t.IsEmpty(c, r) || !std::isfinite(v)) {
        error = "line " + std::to_string(line) + " of \"" + file + "\": column " + std::to_string(c) +
                (t.IsEmpty(c, r) ? " is empty" : " is not a finite number");
        return false;
      }
      row.push_back(v);
    }
    out.rows.push_back(std::move(row));
    out.lines.push_back(line);
  }
  return true;
}

// Index among the kept (numeric) columns of a column given by file column number or by name.
long KeptColumnIndex(const NumericTable& t, const std::string& ref, const std::string& file,
               std::string& err) {
  int col = 0;
  const auto r = std::from_chars(ref.data(), ref.data() + ref.size(), col);
  if (r.ec == std::errc() && r.ptr == ref.data() + ref.size()) {
    if (col < 1) {
      err = "columns are numbered from 1";
      return -1;
    }
    for (std::size_t i = 0; i < t.fileColumns.size(); ++i)
      if (t.fileColumns[i] == col) return static_cast<long>(i);
    err = "column " + ref + " of " + file + " is not numeric";
    return -1;
  }
  return ResolveColumn(ref, t.names, err);
}

}  // namespace qmxtool
