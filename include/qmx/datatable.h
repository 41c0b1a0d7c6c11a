// TDataTable: a table of typed, stated and named cells. Every cell has a 64-bit value (kept in
// the public TMatrix NumericData) and a state byte; rows and columns carry names and integer
// attributes; each column has a measurement scale and, for nominal and ordinal columns, up to
// 150 text identifiers whose ordinal is what the cell stores. Statistics honour states and
// scales; the table reads and writes CSV, ASC and XML.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/matrix.h"
#include "qmx/runtime.h"
#include "qmx/vector.h"

namespace qmx {

namespace matio {
class CharSource;
}
class TCSVSource;

enum TMScaleType : uint8_t { stUnknown = 0, stNominal = 1, stOrdinal = 2, stInterval = 3, stRatio = 4 };
extern const char* const MScaleTypeNames[5];

// Identifier (at most 10 characters) and name (at most 50 characters) texts; longer texts are cut
// when stored.
using TNominalIDStr = std::string;
using TDTNameStr = std::string;
inline constexpr int32_t kMaxNominalIDs = 150;
inline constexpr std::size_t kNominalIDLength = 10;
inline constexpr std::size_t kDTNameLength = 50;

// Scale type of a column and its identifier table (slots 1..150). Slots are held only once one
// is set, so an interval column costs no identifier storage.
struct TVTypeSpecs {
  TMScaleType MScaleType = stInterval;
  std::vector<TNominalIDStr> IDs;  // empty (all slots empty) or exactly 150 entries, slot k at k-1

  const TNominalIDStr& ID(int32_t Slot) const noexcept;  // Slot in 1..150
  void SetID(int32_t Slot, const std::string& Value);     // cut to 10 characters
  void ClearIDs() noexcept { IDs.clear(); }
};

enum TCSVDelimiters { csvComma, csvColon, csvSemicolon, csvTab, csvUnknown };
extern const char CSVDelimiters[5];

enum class TDTxmlTags {
  xmlDataTableId,
  xmlDataTableEndId,
  xmlComment,
  xmlSize,
  xmlColNames,
  xmlRowNames,
  xmlColAttrib,
  xmlRowAttrib,
  xmlColId,
  xmlRowId,
  xmlDataCells,
  xmlCellID,
  xmlVarType,
  xmlVarIdentifier,
  xmlInvalid
};

using TDataTableResizeEvent = std::function<void(TObject* Sender, int32_t OldColumns, int32_t OldRows,
                                                 int32_t NewColumns, int32_t NewRows)>;

// Result codes of ImportFromCSV (0 = success); the table is unchanged on every failure.
inline constexpr int32_t csvErrOpen = -1;          // file missing or unreadable
inline constexpr int32_t csvErrEmpty = -2;         // no record (empty file, or only a header)
inline constexpr int32_t csvErrQuoting = -3;       // quote inside a bare field, text after a closing
                                                   // quote, or a quoted field never closed
inline constexpr int32_t csvErrRagged = -4;        // a record with another number of fields
inline constexpr int32_t csvErrTooManyIDs = -5;    // a text column with more than 150 distinct texts
inline constexpr int32_t csvErrIDClash = -6;       // two distinct texts of a column agree in their
                                                   // first 10 characters
inline constexpr int32_t csvErrTooLarge = -7;      // more rows, columns or cells than a table holds
inline constexpr int32_t csvErrMemory = -8;        // not enough memory for the table
inline constexpr int32_t csvErrDelimiter = -9;     // delimiter argument outside TCSVDelimiters
inline constexpr int32_t csvErrAttrib = -10;       // a "(row attribute)" field is not a 32-bit integer

// Result codes of ImportASC / ReadFromASC beyond those of ReadHeaderOfASC (0 = success); the
// table is unchanged on every failure.
inline constexpr int32_t ascErrNumber = 250;       // a cell value is not a number
inline constexpr int32_t ascErrRowAttrib = 251;    // a row attribute is not a 32-bit integer
inline constexpr int32_t ascErrName = 252;         // a name is missing or its quote never closes
inline constexpr int32_t ascErrColAttrib = 253;    // a column attribute is not a 32-bit integer
inline constexpr int32_t ascErrScale = 254;        // bad scale type word or identifier entry
inline constexpr int32_t ascErrState = 255;        // a cell state is not a number 0..255
inline constexpr int32_t ascErrTooLarge = 256;     // the block does not fit the input or a table
inline constexpr int32_t ascErrTrailing = 257;     // data after the last row
inline constexpr int32_t ascErrPosition = 258;     // PosX or PosY below 1

// Stand-in for the host's clipboard: a process-wide in-memory text store.
class TClipboard {
 public:
  std::string AsText() const { return FText; }
  void SetAsText(const std::string& Text) { FText = Text; }

 private:
  std::string FText;
};
TClipboard& Clipboard();

class TDataTable : public TComponent {
 public:
  explicit TDataTable(TComponent* AOwner = nullptr);
  ~TDataTable() override;
  std::string ClassName() const override { return "TDataTable"; }

  // The cell values. Owned by the table unless attached with AssignAnotherDataMatrix.
  TMatrix* NumericData = nullptr;

  // ---- events ----
  TNotifyEvent OnChange;
  TNotifyEvent OnChangeSetup;
  TNotifyEvent OnChangeNames;
  TNotifyEvent OnChangeCellState;
  TNotifyEvent OnChangeAttrib;
  TOnPercentDoneEvent OnPercentDone;
  TDataTableResizeEvent OnResize;
  TSortExchgEvent OnSortExchange;

  void ChangedData();
  void ChangedSetup();
  void ChangedNames();
  void ChangedAttrib();
  void ChangedCellStates();
  void DataHasChanged(TObject* Sender);
  void PercDone(TObject* Sender, int32_t Percent);

  // ---- size ----
  int32_t NrOfColumns() const noexcept { return FNrOfCols; }
  int32_t NrOfRows() const noexcept { return FNrOfRows; }
  void SetNrCols(int32_t NrCols);
  void SetNrRows(int32_t NrRows);
  void Resize(int32_t NrCols, int32_t NrRows);
  void Clear();
  void InsertRow(int32_t ix);
  void RemoveRow(int32_t ix);
  void InsertColumn(int32_t ix);
  void RemoveColumn(int32_t ix);

  // ---- properties ----
  const std::string& Comment() const noexcept { return FComment; }
  void SetFComment(const std::string& Value);
  void SetComment(const std::string& Value) { SetFComment(Value); }

  double Elem(int32_t ACol, int32_t ARow) const noexcept { return GetElem(ACol, ARow); }
  double GetElem(int32_t ACol, int32_t ARow) const noexcept;
  void SetElem(int32_t ACol, int32_t ARow, double Value);
  TNominalIDStr ElemNominal(int32_t ACol, int32_t ARow) const { return GetElemNominal(ACol, ARow); }
  TNominalIDStr GetElemNominal(int32_t ACol, int32_t ARow) const;
  void SetElemNominal(int32_t ACol, int32_t ARow, const std::string& Value);

  uint8_t CellState(int32_t ACol, int32_t ARow) const noexcept;
  void SetCellState(int32_t ACol, int32_t ARow, uint8_t Value);
  bool IsNumber(int32_t ACol, int32_t ARow) const noexcept { return (CellState(ACol, ARow) & 0x03) == 0; }
  bool IsEmpty(int32_t ACol, int32_t ARow) const noexcept { return (CellState(ACol, ARow) & 0x02) != 0; }
  void SetIsEmpty(int32_t ACol, int32_t ARow, bool Value);
  bool IsImputed(int32_t ACol, int32_t ARow) const noexcept { return (CellState(ACol, ARow) & 0x20) != 0; }
  void SetIsImputed(int32_t ACol, int32_t ARow, bool Value);

  int32_t RowAttrib(int32_t RowNr) const noexcept;
  void SetRowAttrib(int32_t RowNr, int32_t Attrib);
  int32_t ColAttrib(int32_t ColNr) const noexcept;
  void SetColAttrib(int32_t ColNr, int32_t Attrib);
  TDTNameStr RowName(int32_t RowNr) const;
  void SetRowName(int32_t RowNr, const std::string& HLine);
  TDTNameStr ColName(int32_t ColNr) const;
  void SetColName(int32_t ColNr, const std::string& HLine);
  TMScaleType MScaleType(int32_t ColNr) const noexcept;
  void SetMScaleType(int32_t ColNr, TMScaleType AScaleType);
  TNominalIDStr NominalID(int32_t ColIx, int32_t OrdVal) const { return GetNominalID(ColIx, OrdVal); }
  TNominalIDStr GetNominalID(int32_t ColIx, int32_t OrdVal) const;
  void SetNominalID(int32_t ColIx, int32_t OrdVal, const std::string& MScaleID);

  // ---- attributes, names, identifiers ----
  void SetRowAttributes(int32_t Attrib);
  void SetRowAttributes(int32_t Attrib, uint32_t Mask);
  void SetColAttributes(int32_t Attrib);
  void SetColAttributes(int32_t Attrib, uint32_t Mask);
  int32_t MaxRowNameLength() const noexcept;
  int32_t MaxColNameLength() const noexcept;
  int32_t FindColIndex(const std::string& ColID) const;
  int32_t FindRowIndex(const std::string& RowID) const;
  int32_t AddNominalID(int32_t Col, const std::string& MScaleID);
  int32_t OrdinalOfNominalID(int32_t Col, const std::string& ID, bool IgnoreCase) const;
  void ClearNominalIDs(int32_t Col);

  // ---- cell states ----
  void SetAllCellStates(uint8_t ACellState);
  void InvertCellStates(uint8_t StateMask);
  void UnmarkAllCells();
  void ExchangeMarkings();
  bool IfRowHasCellState(int32_t row, uint8_t ACellState) const noexcept;
  bool IfColHasCellState(int32_t col, uint8_t ACellState) const noexcept;
  int32_t CountMarkedCellsInRow(int32_t Row, uint8_t StateMask) const noexcept;
  int32_t CountMarkedCellsInColumn(int32_t Col, uint8_t StateMask) const noexcept;
  int32_t FillMarkedCells(double Value, uint8_t StateMask);

  // ---- statistics (ranges: (0, 0) is the whole dimension) ----
  void MakeValidColRange(int32_t& Low, int32_t& High) const noexcept { MakeValidRange(FNrOfCols, Low, High); }
  void MakeValidRowRange(int32_t& Low, int32_t& High) const noexcept { MakeValidRange(FNrOfRows, Low, High); }
  int32_t CountNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  int32_t CountValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  int32_t CountEmptyCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  int32_t CountImputedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) const;
  double SumOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                       int32_t& NumData) const;
  double SumOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                          uint8_t ACellState, int32_t& NumData) const;
  int32_t MeanVarOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                            double& Mean, double& Variance) const;
  int32_t MeanVarOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                               uint8_t ACellState, double& Mean, double& Variance) const;
  int32_t MinMaxOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                           double& Minimum, double& Maximum) const;
  int32_t MinMaxOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                              uint8_t ACellState, double& Minimum, double& Maximum) const;
  int32_t MinMaxOfValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                             double& Minimum, double& Maximum) const;
  double GeometricMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                 int32_t& NumData) const;
  double HarmonicMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                int32_t& NumData) const;
  double PercentileOfNumCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow, int32_t& NumData) const;
  double PercentileOfMarkedCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                 int32_t HighRow, uint8_t ACellState, int32_t& NumData) const;
  bool QuartilesOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                           double& Q1, double& Q2, double& Q3, int32_t& NumData) const;
  void StandardizeNumCellColumns(TVector* Means, TVector* StdDevs);
  void StandardizeNumCellRows(TVector* Means, TVector* StdDevs);
  void MeanCenterNumCellColumns(TVector* Means);
  void MeanCenterNumCellRows(TVector* Means);
  bool CalcCovar(TMatrix* CovarMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR, int32_t Mode) const;
  bool CheckDichotomousColumn(int32_t col, double& v1, double& v2) const;
  bool IsConstantColumn(int32_t ColIx) const;
  TIntArray ListOfCategorialVars() const;
  TMScaleType FindHighestMLevel(int32_t FirstCol, int32_t LastCol) const;
  TMScaleType FindLowestMLevel(int32_t FirstCol, int32_t LastCol) const;
  int32_t MaxRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const;
  int32_t MinRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const;
  int32_t MaxColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const;
  int32_t MinColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const;
  int32_t RowAttribLevels() const;
  int32_t ColAttribLevels() const;

  // ---- sorting, exchanging ----
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow, bool IncludeHeaders);
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow, bool IncludeHeaders);
  void SortRowAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow);
  void SortColAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow);
  void SortRowNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow);
  void SortRowNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) {
    SortRowNames(Ascending, false, LowCol, LowRow, HighCol, HighRow);
  }
  void SortColNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow);
  void SortColNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) {
    SortColNames(Ascending, false, LowCol, LowRow, HighCol, HighRow);
  }
  void ExchangeDuringSort(TObject* Sender, uint8_t ExchgWhat, int32_t i1, int32_t i2, int32_t f, int32_t l);
  void ExchangeColumns(int32_t c1, int32_t c2);
  void ExchangeRows(int32_t r1, int32_t r2);
  void MirrorColumns();
  void MirrorRows();

  // ---- copying, reshaping, checksums ----
  void CopyContentsFrom(const TDataTable* ExtTab);
  void CopyFrom(const TDataTable* ExtTab, int32_t SourceColLo, int32_t SourceRowLo, int32_t SourceColHi,
                int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  bool CopyCellStatesFrom(const TDataTable* ExtTab);
  // The caller keeps NewDMat alive for as long as the table uses it; the table never frees it.
  void AssignAnotherDataMatrix(TMatrix* NewDMat);
  int32_t CopyCellsToVector(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                            uint8_t ACellState, TVector* DestVect) const;
  void Serialize(bool ColHeadsAsVar, bool IncludeColRowNumbers);
  std::string CRCofNamesAndAttributes() const;
  std::string CRCofCellStates() const;

  // ---- CSV (results: "" on success, else the error text) ----
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders) const;
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders, bool IncludeRowAttributes) const;
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders, bool IncludeRowAttributes,
                          bool IncludeComment) const;
  int32_t ImportFromCSV(const std::string& FName, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                        bool IncludeRowHeaders);
  // The CSV text itself (the file operations read and write through these).
  std::string CSVText(int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                      bool IncludeRowHeaders, bool IncludeRowAttributes, bool IncludeComment) const;
  int32_t ImportFromCSVText(std::string_view Text, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                            bool IncludeRowHeaders);

  // ---- ASC (export results: "" on success, else the error text) ----
  std::string ExportAsASC(const std::string& FName, int32_t Precision) const;
  std::string ExportAsASC(TStream* OutStream, int32_t Precision) const;
  std::string ExportAsASC(std::ostream& OutFile, int32_t Precision) const;
  std::string ASCText(int32_t Precision) const;
  int32_t ImportASC(const std::string& FName);
  int32_t ImportASC(TStream* InStream);
  int32_t ImportASC(TClipboard* ClipBd);
  int32_t ReadFromASC(const std::string& FName, int32_t PosX, int32_t PosY, bool ReplaceIDs);
  int32_t ReadFromASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs);
  int32_t ReadFromASC(TClipboard* ClipBd, int32_t PosX, int32_t PosY, bool ReplaceIDs);
  int32_t ReadFromASCText(std::string_view Text, int32_t PosX, int32_t PosY, bool ReplaceIDs, bool Replace);

  // ---- XML ----
  void ProcessXmlTag(TDTxmlTags Tag, const std::string& Text1, const std::string& Text2,
                     const std::string& Text3, int32_t Index);
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  bool ReadFromXMLString(const std::string& InString, int32_t& StartAt, const std::string& DataID);
  void SaveAsXMLFile(const std::string& FName, int32_t Precision, const std::string& DataID) const;
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, int32_t Precision,
                          const std::string& DataID) const;
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, int32_t Precision,
                        const std::string& DataID) const;
  std::string XMLText(bool CreateHeader, int32_t Precision, const std::string& DataID) const;
  // Text of the last failed XML read (empty after a successful one).
  const std::string& LastXMLError() const noexcept { return FXMLError; }

  // Everything a loader builds before it replaces the table's contents (internal).
  struct TContents;

 private:
  friend struct TDataTableAccess;
  enum : uint8_t { evData = 1, evSetup = 2, evNames = 4, evCellSt = 8, evAttrib = 16, evAll = 31 };
  class TDetach;   // detaches the NumericData change handler for its lifetime
  class TSilence;  // silences some of the five change events for its lifetime

  void InstallHandlers();
  void ReleaseMatrix();
  void ResizeCore(int32_t NrCols, int32_t NrRows);
  void EnsureDataShape();
  void MoveRow(int32_t From, int32_t To);
  void MoveColumn(int32_t From, int32_t To, bool AlwaysIDs);
  void BlankRow(int32_t Row);
  void BlankColumn(int32_t Col);
  void FireFive();
  void SwapColumnHeads(int32_t c1, int32_t c2);
  void SwapRowHeads(int32_t r1, int32_t r2);
  template <class Key>
  void CombSortHeads(bool Rows, bool Ascending, int32_t Lo, int32_t Hi, int32_t OLo, int32_t OHi, Key Less);
  void InstallContents(TContents& C);
  void FireLoaded(int32_t OldCols, int32_t OldRows);
  void SortHeads(bool Rows, bool ByName, bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                 int32_t HighCol, int32_t HighRow);
  int32_t ParseAndInstallCSV(const std::function<std::unique_ptr<TCSVSource>()>& Open, int64_t Bound, char Delim,
                             bool ColHeaders, bool RowHeaders);
  template <class Sink>
  bool WriteCSV(int32_t Precision, TCSVDelimiters Delimiter, bool IncludeColHeaders, bool IncludeRowHeaders,
                bool IncludeRowAttributes, bool IncludeComment, Sink sink) const;
  int32_t CountSel(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, int Mode,
                   uint8_t Mask) const;
  template <class F>
  void ForSelected(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, bool NeedNumScale,
                   uint8_t Mask, F Fn) const;
  void CollectSelected(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, uint8_t Mark,
                       std::vector<double>& X) const;
  double PercentileSel(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                       bool Marked, uint8_t Mask, int32_t& NumData) const;
  int32_t MeanVarSel(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, bool Marked,
                     uint8_t Mask, double& Mean, double& Variance) const;
  bool ReadXml(matio::CharSource& In, const std::string& DataID);
  int32_t ReadASCImpl(std::string_view Text, int32_t PosX, int32_t PosY, bool ReplaceIDs, bool Replace,
                      std::size_t* Consumed);
  int32_t ReadFromStreamASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs, bool Replace);

  std::string FComment;
  TIntArray FRowAtt;
  TIntArray FColAtt;
  std::vector<TVTypeSpecs> FVType;
  std::vector<std::vector<uint8_t>> FCState;
  std::vector<TDTNameStr> FColName;
  std::vector<TDTNameStr> FRowName;
  int32_t FNrOfCols = 0;
  int32_t FNrOfRows = 0;
  // Outside a table sort this is true, so that a sort run on NumericData directly moves whole
  // table rows (names and attributes included).
  bool FSortIncludeHd = true;
  bool FExtMatAssigned = false;
  uint8_t FSilenced = 0;
  std::string FXMLError;
};

}  // namespace qmx
