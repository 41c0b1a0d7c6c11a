#include "csv.h"
#include "command.h"

#include "command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qmxtool {

namespace {

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  const std::size_t e = s.find_last_not_of(" \t\r\n");
  std::string t = s.substr(b, e - b + 1);
  if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
    t = t.substr(1, t.size() - 2);
  return t;
}

// One line without its end: 0 at the end of the file, 2 when longer than cap, else 1.
int ReadLine(std::FILE* f, std::string& line, std::size_t cap) {
  line.clear();
  int c = std::getc(f);
  if (c == EOF) return 0;
  for (; c != EOF && c != '\n'; c = std::getc(f)) {
    if (line.size() >= cap) return 2;
    line.push_back(static_cast<char>(c));
  }
  return 1;
}

}  // namespace

std::vector<std::string> SplitFields(const std::string& line) {
  char sep = 0;
  for (char c : {',', ';', '\t'})
    if (line.find(c) != std::string::npos) {
      sep = c;
      break;
    }
  std::vector<std::string> f;
  if (sep) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t p = line.find(sep, start);
      f.push_back(Trim(line.substr(start, p == std::string::npos ? std::string::npos : p - start)));
      if (p == std::string::npos) break;
      start = p + 1;
    }
  } else {
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\r')) ++i;
      if (i >= line.size()) break;
      std::size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\r') ++j;
      f.push_back(Trim(line.substr(i, j - i)));
      i = j;
    }
  }
  return f;
}

bool ParseNumberField(const std::string& field, double& value) {
  const std::string t = Trim(field);
  const char* b = t.data();
  const char* e = b + t.size();
  if (b != e && *b == '+') ++b;
  if (b == e) return false;
  const auto r = std::from_chars(b, e, value);
  return r.ec == std::errc() && r.ptr == e && std::isfinite(value);
}

bool ReadNumericTable(const std::string& file, NumericTable& table, std::string& error,
                      std::size_t maxRows, std::size_t maxCols) {
  table = NumericTable{};
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) {
    error = "\"" + file + "\" is a directory";
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = "cannot open \"" + file + "\"";
    return false;
  }
  auto where = [&](long ln) { return "line " + std::to_string(ln) + " of \"" + file + "\""; };
  std::vector<std::string> header;
  bool sawLine = false;
  std::string line;
  long ln = 0;
  for (int rc; (rc = ReadLine(f.get(), line, 1 << 20)) != 0;) {
    ++ln;
    if (rc == 2) {
      error = where(ln) + " is too long";
      return false;
    }
    if (Trim(line).empty()) continue;
    const std::vector<std::string> fields = SplitFields(line);
    std::vector<double> values(fields.size());
    std::vector<bool> numeric(fields.size());
    bool allNumeric = true;
    for (std::size_t c = 0; c < fields.size(); ++c) {
      numeric[c] = ParseNumberField(fields[c], values[c]);
      allNumeric = allNumeric && numeric[c];
    }
    const bool first = !sawLine;
    sawLine = true;
    if (first && !allNumeric) {
      bool anyNumeric = false;
      for (bool b : numeric) anyNumeric = anyNumeric || b;
      if (!anyNumeric) {  // a header line
        header = fields;
        continue;
      }
    }
    if (table.fileColumns.empty()) {
      // The first data line decides which columns are numeric.
      for (std::size_t c = 0; c < fields.size(); ++c)
        if (numeric[c]) table.fileColumns.push_back(static_cast<int>(c) + 1);
      if (table.fileColumns.empty()) {
        error = where(ln) + " has no number";
        return false;
      }
      if (table.fileColumns.size() > maxCols) {
        error = "\"" + file + "\" has too many columns (" + std::to_string(table.fileColumns.size()) +
                ", at most " + std::to_string(maxCols) + ")";
        return false;
      }
      for (int c : table.fileColumns)
        table.names.push_back(static_cast<std::size_t>(c) <= header.size() && !header[c - 1].empty()
                                  ? header[c - 1]
                                  : "column " + std::to_string(c));
    }
    std::vector<double> row;
    row.reserve(table.fileColumns.size());
    for (int c : table.fileColumns) {
      const auto ci = static_cast<std::size_t>(c - 1);
      if (ci >= fields.size() || !numeric[ci]) {
        error = where(ln) + ": column " + std::to_string(c) +
                (ci < fields.size() ? " holds \"" + fields[ci] + "\", not a number" : " is missing");
        return false;
      }
      row.push_back(values[ci]);
    }
    if (table.rows.size() >= maxRows) {
      error = "\"" + file + "\" has too many rows (at most " + std::to_string(maxRows) + ")";
      return false;
    }
    table.rows.push_back(std::move(row));
    table.lines.push_back(ln);
  }
  if (table.rows.empty()) {
    error = "no numeric data in \"" + file + "\"";
    return false;
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
