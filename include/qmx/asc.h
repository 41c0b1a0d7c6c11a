// The ASC text file of tabular data: a four-line header (comment, number of columns, number of
// rows, presence flags) followed by optional column names and one line per row. The header reader
// and the name parser are shared by every loader of that format.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace qmx {

// Scratch state of ParseQuotedName; the caller starts every name with qsNone and an empty name.
enum TQuotedStrState {
  qsNone,      // before the name: white space is skipped
  qsQuoted,    // inside a name that began with the quote character
  qsUnquoted,  // inside a bare word (ended by white space)
};

// Feeds one character of a name. A name is either enclosed in the quote character (it may then
// contain blanks, and ends at the next quote character) or a bare word ended by a blank, TAB or
// line end. White space before the name is skipped. Returns true once the name is complete; the
// character that completed it (closing quote or white space) is not part of the name.
bool ParseQuotedName(char Ch, char Quote, std::string& Name, TQuotedStrState& State);

// The header fields of an ASC file.
struct TASCHeader {
  std::string Comment;      // line 1, without its line end
  int32_t NrOfColumns = 0;  // line 2
  int32_t NrOfRows = 0;     // line 3
  bool RowAttribs = false;  // line 4, flag 1: each row starts with a numeric attribute
  bool ColNames = false;    // line 4, flag 2: a line of column names follows the header
  bool RowNames = false;    // line 4, flag 3: each row carries a name before its values
  bool ColAttribs = false;  // line 4, optional flag 4: a line of column attributes follows (unsupported
                            // by the pair loaders, which refuse such files)
  bool ScaleTypes = false;  // line 4, optional flag 5: scale types and identifiers follow
  bool CellStates = false;  // line 4, optional flag 6: each row ends with one state byte per column
};

// Codes of ReadHeaderOfASC (0 = success).
inline constexpr int32_t ascErrOpen = -1;        // file cannot be opened
inline constexpr int32_t ascErrTruncated = -2;   // the file ends inside the header
inline constexpr int32_t ascErrColumns = -3;     // line 2 is not a column count >= 1
inline constexpr int32_t ascErrRows = -4;        // line 3 is not a row count >= 0
inline constexpr int32_t ascErrFlags = -5;       // line 4 is not three, four or six TRUE/FALSE words

// Reads the header of the ASC file FName into Header. Lines 2 and 3 hold a decimal integer,
// optionally followed by white space and a ';' comment; line 4 holds three, four or six words TRUE or
// FALSE (any letter case), optionally followed by a ';' comment. Returns 0 or one of the codes
// above; on failure Header is left unchanged.
int32_t ReadHeaderOfASC(const std::string& FName, TASCHeader& Header);
// The same on an open stream, which is left positioned after the fourth header line.
int32_t ReadHeaderOfASC(std::istream& In, TASCHeader& Header);

}  // namespace qmx
