// Reading tables for the qmx tool: every command reads its file with the library's CSV reader
// (TDataTable::ImportFromCSV), which detects the delimiter (comma, semicolon, TAB or colon).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qmx/datatable.h"

namespace qmxtool {

// Reads FILE into Table. The first record is taken as a header when reading it as data would
// turn a column of numbers into a text column. Returns false with a message naming the file.
bool ReadTable(const std::string& file, qmx::TDataTable& table, bool& header, std::string& error);

// Text of an ImportFromCSV result code.
std::string CSVErrorText(int32_t code);

struct NumericTable {
  // Names of the kept columns: from the header line when there is one, else "column N".
  std::vector<std::string> names;
  // File column number (1-based) of each kept column.
  std::vector<int> fileColumns;
  // One entry per data record, the values of the kept columns in order.
  std::vector<std::vector<double>> rows;
  // Data records' line numbers in the file (1-based), parallel to rows.
  std::vector<long> lines;
};

// The numeric columns of FILE (see ReadTable); every record must hold a finite number in each of
// them. maxRows and maxCols bound what is accepted.
bool ReadNumericTable(const std::string& file, NumericTable& table, std::string& error,
                      std::size_t maxRows = 1000000, std::size_t maxCols = 10000);

// Index among the kept (numeric) columns of a column given by file column number (from 1) or by
// name; -1 with a message in err.
long KeptColumnIndex(const NumericTable& t, const std::string& ref, const std::string& file,
                     std::string& err);

}  // namespace qmxtool
