#include "qmx/asc.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <string_view>

namespace qmx {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One header line without its line end (LF or CR LF); false at end of file.
bool ReadLine(std::istream& In, std::string& Line) {
  if (!std::getline(In, Line)) return false;
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  return true;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The rest of a header line may only be white space or a ';' comment.
bool OnlyComment(std::string_view s) {
  s = TrimLeft(s);
  return s.empty() || s.front() == ';';
}

bool ParseCount(std::string_view s, int32_t Min, int32_t& Value) {
  s = TrimLeft(s);
  int32_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end == s.data() || v < Min) return false;
  if (!OnlyComment(s.substr(static_cast<std::size_t>(end - s.data())))) return false;
  Value = v;
  return true;
}

bool ParseFlag(std::string_view w, bool& Value) {
  std::string u(w);
  for (auto& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (u == "TRUE") Value = true;
  else if (u == "FALSE") Value = false;
  else return false;
  return true;
}

bool ParseFlags(std::string_view s, TASCHeader& h) {
  bool f[6] = {false, false, false, false, false, false};
  int count = 0;
  for (;;) {
    s = TrimLeft(s);
    if (s.empty() || s.front() == ';') break;
    std::size_t len = 0;
    while (len < s.size() && !IsBlank(s[len]) && s[len] != ';') ++len;
    if (count == 6 || !ParseFlag(s.substr(0, len), f[count])) return false;
    ++count;
    s.remove_prefix(len);
  }
  // Flags 5 and 6 (scale types, cell states) of the data table's files come as a pair.
  if (count < 3 || count == 5) return false;
  h.RowAttribs = f[0];
  h.ColNames = f[1];
  h.RowNames = f[2];
  h.ColAttribs = f[3];
  h.ScaleTypes = f[4];
  h.CellStates = f[5];
  return true;
}

}  // namespace

bool ParseQuotedName(char Ch, char Quote, std::string& Name, TQuotedStrState& State) {
  switch (State) {
    case qsNone:
      if (Ch == Quote) State = qsQuoted;
      else if (!IsBlank(Ch)) {
        Name.push_back(Ch);
        State = qsUnquoted;
      }
      return false;
    case qsQuoted:
      if (Ch == Quote) {
        State = qsNone;
        return true;
      }
      Name.push_back(Ch);
      return false;
    case qsUnquoted:
      if (IsBlank(Ch)) {
        State = qsNone;
        return true;
      }
      Name.push_back(Ch);
      return false;
  }
  return false;
}

int32_t ReadHeaderOfASC(std::istream& In, TASCHeader& Header) {
  std::string l1, l2, l3, l4;
  if (!ReadLine(In, l1) || !ReadLine(In, l2) || !ReadLine(In, l3) || !ReadLine(In, l4))
    return ascErrTruncated;
  TASCHeader h;
  h.Comment = l1;
  if (!ParseCount(l2, 1, h.NrOfColumns)) return ascErrColumns;
  if (!ParseCount(l3, 0, h.NrOfRows)) return ascErrRows;
  if (!ParseFlags(l4, h)) return ascErrFlags;
  Header = std::move(h);
  return 0;
}

int32_t ReadHeaderOfASC(const std::string& FName, TASCHeader& Header) {
  std::ifstream in(FName, std::ios::binary);
  if (!in) return ascErrOpen;
  return ReadHeaderOfASC(in, Header);
}

}  // namespace qmx
