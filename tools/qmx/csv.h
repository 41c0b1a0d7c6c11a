// Reading tables of numbers for the qmx tool: CSV (comma, semicolon or TAB separated) or
// blank-separated text, with an optional header line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qmxtool {

struct NumericTable {
  // Names of the kept columns: from the header line when there is one, else "column N".
  std::vector<std::string> names;
  // File column number (1-based) of each kept column.
  std::vector<int> fileColumns;
  // One entry per data line, the values of the kept columns in order.
  std::vector<std::vector<double>> rows;
  // Data lines' numbers in the file (1-based), parallel to rows.
  std::vector<long> lines;
};

// Splits one line: at commas, semicolons or TABs when the line has one of them (the first found
// in that order), otherwise at runs of blanks. Fields are trimmed and lose enclosing quotes.
std::vector<std::string> SplitFields(const std::string& line);

// Parses a whole field as a finite number (C locale, optional leading '+').
bool ParseNumberField(const std::string& field, double& value);

// Reads FILE. Blank lines are skipped. A first line with a field that is not a number is a
// header. The kept columns are those holding a number in the first data line; every later data
// line must have a number in each of them. maxRows and maxCols bound what is accepted.
// Returns false with a message naming the file (and the line) on any problem.
bool ReadNumericTable(const std::string& file, NumericTable& table, std::string& error,
                      std::size_t maxRows = 1000000, std::size_t maxCols = 10000);

// Index among the kept (numeric) columns of a column given by file column number (from 1) or by
// name; -1 with a message in err.
long KeptColumn(const NumericTable& t, const std::string& ref, const std::string& file,
                std::string& err);

}  // namespace qmxtool
