#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qmx/asc.h"

using namespace qmx;

namespace {

// Feeds a text to ParseQuotedName and collects the completed names.
std::vector<std::string> Names(const std::string& text) {
  std::vector<std::string> r;
  std::string name;
  TQuotedStrState st = qsNone;
  for (char c : text)
    if (ParseQuotedName(c, '"', name, st)) {
      r.push_back(name);
      name.clear();
    }
  return r;
}

std::string WriteTemp(const std::string& leaf, const std::string& text) {
  const std::string path = testing::TempDir() + leaf;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

TEST(ParseQuotedName, QuotedNamesKeepBlanksAndBareWordsEndAtWhiteSpace) {
  EXPECT_EQ(Names("\"first name\"  \"x\"\n"), (std::vector<std::string>{"first name", "x"}));
  EXPECT_EQ(Names("x   y\n"), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(Names("\t alpha\"beta\" gamma\r\n"),
            (std::vector<std::string>{"alpha\"beta\"", "gamma"}));
  EXPECT_EQ(Names("\"\" z "), (std::vector<std::string>{"", "z"}));
  // An open quote is not complete at the line end; a bare word without an end is pending.
  EXPECT_TRUE(Names("\"open\n").empty());
  EXPECT_TRUE(Names("pending").empty());
}

TEST(ParseQuotedName, ReportsCompletionOnTheClosingCharacterOnly) {
  std::string name;
  TQuotedStrState st = qsNone;
  EXPECT_FALSE(ParseQuotedName(' ', '"', name, st));
  EXPECT_FALSE(ParseQuotedName('"', '"', name, st));
  EXPECT_EQ(st, qsQuoted);
  EXPECT_FALSE(ParseQuotedName('a', '"', name, st));
  EXPECT_FALSE(ParseQuotedName(' ', '"', name, st));
  EXPECT_TRUE(ParseQuotedName('"', '"', name, st));
  EXPECT_EQ(name, "a ");
  EXPECT_EQ(st, qsNone);
}

TEST(ReadHeaderOfASC, ReadsFieldsWithCommentsAndEitherLineEnd) {
  TASCHeader h;
  const auto p = WriteTemp("asc_ok.asc",
                           "my data\tset\n3\t;nr. of columns\n17  ;rows\n"
                           "FALSE TRUE FALSE\t;row attributes, column names, row names\nrest\n");
  ASSERT_EQ(ReadHeaderOfASC(p, h), 0);
  EXPECT_EQ(h.Comment, "my data\tset");
  EXPECT_EQ(h.NrOfColumns, 3);
  EXPECT_EQ(h.NrOfRows, 17);
  EXPECT_FALSE(h.RowAttribs);
  EXPECT_TRUE(h.ColNames);
  EXPECT_FALSE(h.RowNames);
  EXPECT_FALSE(h.ColAttribs);

  std::istringstream crlf("c\r\n2\r\n0\r\ntrue false True TRUE\r\n");
  ASSERT_EQ(ReadHeaderOfASC(crlf, h), 0);
  EXPECT_EQ(h.Comment, "c");
  EXPECT_EQ(h.NrOfColumns, 2);
  EXPECT_EQ(h.NrOfRows, 0);
  EXPECT_TRUE(h.RowAttribs);
  EXPECT_FALSE(h.ColNames);
  EXPECT_TRUE(h.RowNames);
  EXPECT_TRUE(h.ColAttribs);
  // The stream stays after the header for the data reader.
  std::istringstream rest("c\n2\n1\nFALSE FALSE FALSE\n1 2\n");
  ASSERT_EQ(ReadHeaderOfASC(rest, h), 0);
  std::string line;
  std::getline(rest, line);
  EXPECT_EQ(line, "1 2");
}

TEST(ReadHeaderOfASC, BadHeadersGiveTheirCodesAndLeaveTheFieldsAlone) {
  struct Case {
    const char* text;
    int32_t code;
  } cases[] = {
      {"c\n2\n5\n", ascErrTruncated},
      {"", ascErrTruncated},
      {"c\nabc\n5\nFALSE FALSE FALSE\n", ascErrColumns},
      {"c\n0\n5\nFALSE FALSE FALSE\n", ascErrColumns},
      {"c\n2 x\n5\nFALSE FALSE FALSE\n", ascErrColumns},
      {"c\n99999999999\n5\nFALSE FALSE FALSE\n", ascErrColumns},
      {"c\n2\n-1\nFALSE FALSE FALSE\n", ascErrRows},
      {"c\n2\n\nFALSE FALSE FALSE\n", ascErrRows},
      {"c\n2\n5\nFALSE MAYBE FALSE\n", ascErrFlags},
      {"c\n2\n5\nFALSE FALSE\n", ascErrFlags},
      {"c\n2\n5\nFALSE FALSE FALSE FALSE FALSE\n", ascErrFlags},
  };
  for (const auto& c : cases) {
    TASCHeader h;
    h.Comment = "untouched";
    h.NrOfRows = 42;
    std::istringstream in(c.text);
    EXPECT_EQ(ReadHeaderOfASC(in, h), c.code) << c.text;
    EXPECT_EQ(h.Comment, "untouched");
    EXPECT_EQ(h.NrOfRows, 42);
  }
  TASCHeader h;
  EXPECT_EQ(ReadHeaderOfASC(testing::TempDir() + "no/such/file.asc", h), ascErrOpen);
}
