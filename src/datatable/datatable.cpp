// TDataTable: cells, states, names, attributes, identifiers, resizing, inserting and removing.
#include <algorithm>
#include <cstdio>
#include <new>

#include "datatable/dt_internal.h"

namespace qmx {

const char* const MScaleTypeNames[5] = {"Unknown", "Nominal", "Ordinal", "Interval", "Ratio"};
const char CSVDelimiters[5] = {',', ':', ';', '\t', '\0'};

TClipboard& Clipboard() {
  static TClipboard clip;
  return clip;
}

namespace {
const TNominalIDStr kEmptyID;
}

const TNominalIDStr& TVTypeSpecs::ID(int32_t Slot) const noexcept {
  if (IDs.empty() || Slot < 1 || Slot > kMaxNominalIDs) return kEmptyID;
  return IDs[static_cast<std::size_t>(Slot - 1)];
}

void TVTypeSpecs::SetID(int32_t Slot, const std::string& Value) {
  if (Slot < 1 || Slot > kMaxNominalIDs) return;
  if (IDs.empty()) {
    if (Value.empty()) return;
    IDs.resize(kMaxNominalIDs);
  }
  IDs[static_cast<std::size_t>(Slot - 1)] = dt::Cut(Value, kNominalIDLength);
}

// ---- event plumbing ---------------------------------------------------------------------------

void TDataTable::ChangedData() {
  if (!(FSilenced & evData)) FireEvent(OnChange, this);
}
void TDataTable::ChangedSetup() {
  if (!(FSilenced & evSetup)) FireEvent(OnChangeSetup, this);
}
void TDataTable::ChangedNames() {
  if (!(FSilenced & evNames)) FireEvent(OnChangeNames, this);
}
void TDataTable::ChangedAttrib() {
  if (!(FSilenced & evAttrib)) FireEvent(OnChangeAttrib, this);
}
void TDataTable::ChangedCellStates() {
  if (!(FSilenced & evCellSt)) FireEvent(OnChangeCellState, this);
}
void TDataTable::DataHasChanged(TObject*) { ChangedData(); }
void TDataTable::PercDone(TObject*, int32_t Percent) { FireEvent(OnPercentDone, this, Percent); }

// The order used by the exchange, mirror and copy operations.
void TDataTable::FireFive() {
  ChangedData();
  ChangedCellStates();
  ChangedAttrib();
  ChangedNames();
  ChangedSetup();
}

void TDataTable::InstallHandlers() {
  NumericData->OnChange = [this](TObject* S) { DataHasChanged(S); };
  NumericData->OnSortExchange = [this](TObject* S, uint8_t k, int32_t a, int32_t b, int32_t f, int32_t l) {
    ExchangeDuringSort(S, k, a, b, f, l);
  };
}

void TDataTable::ReleaseMatrix() {
  if (NumericData == nullptr) return;
  if (FExtMatAssigned) {
    NumericData->OnChange = nullptr;
    NumericData->OnSortExchange = nullptr;
  } else {
    delete NumericData;
  }
  NumericData = nullptr;
}

// ---- construction -----------------------------------------------------------------------------

TDataTable::TDataTable(TComponent* AOwner) : TComponent(AOwner) {
  try {
    NumericData = new TMatrix(nullptr);
    FNrOfCols = FNrOfRows = 1;
    FRowAtt.assign(1, 0);
    FColAtt.assign(1, 0);
    FVType.assign(1, TVTypeSpecs{});
    FCState.assign(1, std::vector<uint8_t>(1, 0));
    FColName.assign(1, dt::ColDefaultName(1));
    FRowName.assign(1, dt::RowDefaultName(1));
  } catch (const std::bad_alloc&) {
    delete NumericData;
    NumericData = nullptr;
    RaiseComponentError<EQMXDataTableError>(this, ": failed to initialize (out of memory)");
  }
  InstallHandlers();
}

TDataTable::~TDataTable() { ReleaseMatrix(); }

// ---- size -------------------------------------------------------------------------------------

void TDataTable::EnsureDataShape() {
  if (NumericData->NrOfColumns() != FNrOfCols || NumericData->NrOfRows() != FNrOfRows) {
    // The public matrix was resized behind the table's back; bring it back to the table's shape
    // so that the storage loops stay inside it.
    TDetach d(*this);
    NumericData->Resize(FNrOfCols, FNrOfRows);
  }
}

void TDataTable::ResizeCore(int32_t NrCols, int32_t NrRows) {
  if (NrCols < 0 || NrRows < 0)
    RaiseComponentError<EQMXDataTableError>(this, ": negative number of columns or rows");
  if (NrCols == FNrOfCols && NrRows == FNrOfRows && NumericData->NrOfColumns() == NrCols &&
      NumericData->NrOfRows() == NrRows)
    return;
  const int32_t oc = FNrOfCols, orr = FNrOfRows;
  {
    TDetach d(*this);
    try {
      NumericData->Resize(NrCols, NrRows);
    } catch (const std::exception&) {
      RaiseComponentError<EQMXDataTableError>(
          this, ": cannot resize the cell matrix to " + std::to_string(NrCols) + " x " +
                    std::to_string(NrRows) + " (not enough memory)");
    }
    const auto nc = static_cast<std::size_t>(NrCols), nr = static_cast<std::size_t>(NrRows);
    try {
      FCState.resize(nc);
      for (auto& col : FCState) col.resize(nr, 0);
      FRowAtt.resize(nr, 0);
      FColAtt.resize(nc, 0);
      FVType.resize(nc, TVTypeSpecs{});
      FColName.reserve(nc);
      for (int32_t i = static_cast<int32_t>(FColName.size()) + 1; i <= NrCols; ++i)
        FColName.push_back(dt::ColDefaultName(i));
      FColName.resize(nc);
      FRowName.reserve(nr);
      for (int32_t j = static_cast<int32_t>(FRowName.size()) + 1; j <= NrRows; ++j)
        FRowName.push_back(dt::RowDefaultName(j));
      FRowName.resize(nr);
    } catch (const std::bad_alloc&) {
      // Go back to the old shape (shrinking does not allocate) so the table stays consistent.
      const auto oC = static_cast<std::size_t>(oc), oR = static_cast<std::size_t>(orr);
      if (FCState.size() > oC) FCState.resize(oC);
      for (auto& col : FCState)
        if (col.size() > oR) col.resize(oR);
      if (FRowAtt.size() > oR) FRowAtt.resize(oR);
      if (FColAtt.size() > oC) FColAtt.resize(oC);
      if (FVType.size() > oC) FVType.resize(oC);
      if (FColName.size() > oC) FColName.resize(oC);
      if (FRowName.size() > oR) FRowName.resize(oR);
      try {
        NumericData->Resize(oc, orr);
      } catch (...) {
      }
      RaiseComponentError<EQMXDataTableError>(this, ": not enough memory on heap");
    }
    FNrOfCols = NrCols;
    FNrOfRows = NrRows;
  }
  FireEvent(OnResize, this, oc, orr, NrCols, NrRows);
}

void TDataTable::SetNrCols(int32_t NrCols) { ResizeCore(NrCols, FNrOfRows); }
void TDataTable::SetNrRows(int32_t NrRows) { ResizeCore(FNrOfCols, NrRows); }
void TDataTable::Resize(int32_t NrCols, int32_t NrRows) { ResizeCore(NrCols, NrRows); }

void TDataTable::Clear() {
  EnsureDataShape();
  {
    TDetach d(*this);
    NumericData->Fill(0.0);
  }
  for (int32_t i = 1; i <= FNrOfCols; ++i) FColName[i - 1] = dt::ColDefaultName(i);
  for (int32_t j = 1; j <= FNrOfRows; ++j) FRowName[j - 1] = dt::RowDefaultName(j);
  for (auto& col : FCState) std::fill(col.begin(), col.end(), 0);
  std::fill(FRowAtt.begin(), FRowAtt.end(), 0);
  std::fill(FColAtt.begin(), FColAtt.end(), 0);
  for (auto& v : FVType) v = TVTypeSpecs{};
  FComment.clear();
  ChangedNames();
  ChangedAttrib();
  ChangedCellStates();
  ChangedSetup();
}

// Replaces the whole contents by what a loader built; the matrix is resized first, so a failure
// there leaves the table as it was.
void TDataTable::InstallContents(TContents& C) {
  const int32_t oc = FNrOfCols, orr = FNrOfRows;
  {
    TDetach d(*this);
    NumericData->Resize(C.Cols, C.Rows);
    for (int32_t c = 1; c <= C.Cols && C.Rows > 0; ++c)
      std::copy_n(C.Values.data() + static_cast<std::size_t>(c - 1) * C.Stride, C.Rows, NumericData->ColumnData(c));
    C.Values = {};
    FCState = std::move(C.States);
    FColName = std::move(C.ColNames);
    FRowName = std::move(C.RowNames);
    FColAtt = std::move(C.ColAtt);
    FRowAtt = std::move(C.RowAtt);
    FVType = std::move(C.VType);
    FComment = std::move(C.Comment);
    FNrOfCols = C.Cols;
    FNrOfRows = C.Rows;
  }
  FireLoaded(oc, orr);
}

// The events of a table whose whole contents were replaced.
void TDataTable::FireLoaded(int32_t OldCols, int32_t OldRows) {
  ChangedData();
  ChangedCellStates();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  FireEvent(OnResize, this, OldCols, OldRows, FNrOfCols, FNrOfRows);
}

// ---- element access ---------------------------------------------------------------------------

double TDataTable::GetElem(int32_t ACol, int32_t ARow) const noexcept {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return 0.0;
  const double v = NumericData->GetVal(ACol, ARow);
  return dt::IsCatScale(FVType[ACol - 1].MScaleType) ? dt::RoundHalfEven(v) : v;
}

void TDataTable::SetElem(int32_t ACol, int32_t ARow, double Value) {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return;
  NumericData->SetVal(ACol, ARow, Value);
  ChangedData();
}

namespace {
// Slot of ID (cut to 10 characters, compared after lower-casing A..Z), 0 when absent.
int32_t FindSlot(const TVTypeSpecs& V, const std::string& ID, bool IgnoreCase) {
  if (ID.empty() || V.IDs.empty()) return 0;
  const std::string id = dt::Cut(ID, kNominalIDLength);
  for (int32_t k = 1; k <= kMaxNominalIDs; ++k) {
    const std::string& s = V.ID(k);
    if (s.size() != id.size()) continue;
    bool eq = true;
    for (std::size_t i = 0; i < s.size() && eq; ++i)
      eq = IgnoreCase ? dt::LowerAZ(s[i]) == dt::LowerAZ(id[i]) : s[i] == id[i];
    if (eq) return k;
  }
  return 0;
}
int32_t FirstEmptySlot(const TVTypeSpecs& V) {
  for (int32_t k = 1; k <= kMaxNominalIDs; ++k)
    if (V.ID(k).empty()) return k;
  return 0;
}
}  // namespace

TNominalIDStr TDataTable::GetElemNominal(int32_t ACol, int32_t ARow) const {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return {};
  const TVTypeSpecs& v = FVType[ACol - 1];
  if (!dt::IsCatScale(v.MScaleType)) return {};
  const double k = dt::RoundHalfEven(NumericData->GetVal(ACol, ARow));
  if (k >= 1 && k <= kMaxNominalIDs) return v.ID(static_cast<int32_t>(k));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f", k);
  return dt::Cut(buf, kNominalIDLength);
}

void TDataTable::SetElemNominal(int32_t ACol, int32_t ARow, const std::string& Value) {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return;
  TVTypeSpecs& v = FVType[ACol - 1];
  // Looked up whatever the scale, so that repeated writes to a column not yet marked nominal do
  // not fill the table with copies of one identifier.
  int32_t k = FindSlot(v, Value, true);
  if (k == 0) {
    k = FirstEmptySlot(v);
    if (k == 0) RaiseComponentError<EQMXDataTableError>(this, ": number of available nominal values exceeded");
    v.SetID(k, Value);
  }
  NumericData->SetVal(ACol, ARow, k);
  ChangedData();
}

uint8_t TDataTable::CellState(int32_t ACol, int32_t ARow) const noexcept {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return 0;
  return FCState[ACol - 1][ARow - 1];
}

void TDataTable::SetCellState(int32_t ACol, int32_t ARow, uint8_t Value) {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return;
  uint8_t& s = FCState[ACol - 1][ARow - 1];
  if (s == Value) return;
  s = Value;
  ChangedCellStates();
}

void TDataTable::SetIsEmpty(int32_t ACol, int32_t ARow, bool Value) {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return;
  const uint8_t s = CellState(ACol, ARow);
  SetCellState(ACol, ARow, Value ? uint8_t(s | 0x02) : uint8_t(s & ~0x02));
  ChangedData();
}

void TDataTable::SetIsImputed(int32_t ACol, int32_t ARow, bool Value) {
  if (ACol < 1 || ACol > FNrOfCols || ARow < 1 || ARow > FNrOfRows) return;
  const uint8_t s = CellState(ACol, ARow);
  SetCellState(ACol, ARow, Value ? uint8_t(s | 0x20) : uint8_t(s & ~0x20));
  ChangedData();
}

void TDataTable::SetFComment(const std::string& Value) {
  FComment = RemoveControlChars(Value);
  ChangedSetup();
}

int32_t TDataTable::RowAttrib(int32_t RowNr) const noexcept {
  return (RowNr < 1 || RowNr > FNrOfRows) ? 0 : FRowAtt[RowNr - 1];
}
void TDataTable::SetRowAttrib(int32_t RowNr, int32_t Attrib) {
  if (RowNr < 1 || RowNr > FNrOfRows) return;
  FRowAtt[RowNr - 1] = Attrib;
  ChangedAttrib();
}
int32_t TDataTable::ColAttrib(int32_t ColNr) const noexcept {
  return (ColNr < 1 || ColNr > FNrOfCols) ? 0 : FColAtt[ColNr - 1];
}
void TDataTable::SetColAttrib(int32_t ColNr, int32_t Attrib) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  FColAtt[ColNr - 1] = Attrib;
  ChangedAttrib();
}
TDTNameStr TDataTable::RowName(int32_t RowNr) const {
  return (RowNr < 1 || RowNr > FNrOfRows) ? TDTNameStr() : FRowName[RowNr - 1];
}
void TDataTable::SetRowName(int32_t RowNr, const std::string& HLine) {
  if (RowNr < 1 || RowNr > FNrOfRows) return;
  FRowName[RowNr - 1] = dt::Cut(HLine, kDTNameLength);
  ChangedNames();
}
TDTNameStr TDataTable::ColName(int32_t ColNr) const {
  return (ColNr < 1 || ColNr > FNrOfCols) ? TDTNameStr() : FColName[ColNr - 1];
}
void TDataTable::SetColName(int32_t ColNr, const std::string& HLine) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  FColName[ColNr - 1] = dt::Cut(HLine, kDTNameLength);
  ChangedNames();
}
TMScaleType TDataTable::MScaleType(int32_t ColNr) const noexcept {
  return (ColNr < 1 || ColNr > FNrOfCols) ? stUnknown : FVType[ColNr - 1].MScaleType;
}
void TDataTable::SetMScaleType(int32_t ColNr, TMScaleType AScaleType) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  // A byte outside the enumeration would index the scale names out of bounds later.
  if (static_cast<uint8_t>(AScaleType) > stRatio) AScaleType = stUnknown;
  FVType[ColNr - 1].MScaleType = AScaleType;
  ChangedSetup();
}

TNominalIDStr TDataTable::GetNominalID(int32_t ColIx, int32_t OrdVal) const {
  if (ColIx < 1 || ColIx > FNrOfCols) return {};
  const TVTypeSpecs& v = FVType[ColIx - 1];
  return dt::IsCatScale(v.MScaleType) ? v.ID(OrdVal) : TNominalIDStr();
}

void TDataTable::SetNominalID(int32_t ColIx, int32_t OrdVal, const std::string& MScaleID) {
  if (ColIx < 1 || ColIx > FNrOfCols || OrdVal < 1 || OrdVal > kMaxNominalIDs) return;
  TVTypeSpecs& v = FVType[ColIx - 1];
  if (MScaleID.empty() || dt::IsCatScale(v.MScaleType)) v.SetID(OrdVal, MScaleID);
  ChangedSetup();
}

int32_t TDataTable::OrdinalOfNominalID(int32_t Col, const std::string& ID, bool IgnoreCase) const {
  if (Col < 1 || Col > FNrOfCols || ID.empty()) return 0;
  const TVTypeSpecs& v = FVType[Col - 1];
  if (!dt::IsCatScale(v.MScaleType)) return 0;
  return FindSlot(v, ID, IgnoreCase);
}

int32_t TDataTable::AddNominalID(int32_t Col, const std::string& MScaleID) {
  if (Col < 1 || Col > FNrOfCols) return 0;
  if (const int32_t k = OrdinalOfNominalID(Col, MScaleID, true); k > 0) return k;
  TVTypeSpecs& v = FVType[Col - 1];
  const int32_t k = FirstEmptySlot(v);
  if (k == 0) RaiseComponentError<EQMXDataTableError>(this, ": number of available nominal values exceeded");
  v.SetID(k, MScaleID);
  v.MScaleType = stNominal;
  ChangedSetup();
  return k;
}

void TDataTable::ClearNominalIDs(int32_t Col) {
  if (Col < 1 || Col > FNrOfCols) return;
  FVType[Col - 1].ClearIDs();
  ChangedSetup();
}

// ---- attributes and names ---------------------------------------------------------------------

void TDataTable::SetRowAttributes(int32_t Attrib) {
  std::fill(FRowAtt.begin(), FRowAtt.end(), Attrib);
  ChangedAttrib();
}
void TDataTable::SetColAttributes(int32_t Attrib) {
  std::fill(FColAtt.begin(), FColAtt.end(), Attrib);
  ChangedAttrib();
}
void TDataTable::SetRowAttributes(int32_t Attrib, uint32_t Mask) {
  for (auto& a : FRowAtt)
    a = static_cast<int32_t>((static_cast<uint32_t>(a) & ~Mask) | (static_cast<uint32_t>(Attrib) & Mask));
  ChangedAttrib();
}
void TDataTable::SetColAttributes(int32_t Attrib, uint32_t Mask) {
  for (auto& a : FColAtt)
    a = static_cast<int32_t>((static_cast<uint32_t>(a) & ~Mask) | (static_cast<uint32_t>(Attrib) & Mask));
  ChangedAttrib();
}

int32_t TDataTable::MaxRowNameLength() const noexcept {
  std::size_t m = 0;
  for (const auto& s : FRowName) m = std::max(m, s.size());
  return static_cast<int32_t>(m);
}
int32_t TDataTable::MaxColNameLength() const noexcept {
  std::size_t m = 0;
  for (const auto& s : FColName) m = std::max(m, s.size());
  return static_cast<int32_t>(m);
}

namespace {
std::string NormalName(const std::string& s) {
  std::string t = dt::Cut(s, kDTNameLength);
  const auto b = t.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  t = t.substr(b, t.find_last_not_of(' ') - b + 1);
  for (char& c : t) c = dt::UpperAZ(c);
  return t;
}
int32_t FindName(const std::vector<TDTNameStr>& Names, const std::string& ID) {
  const std::string want = NormalName(ID);
  for (std::size_t i = 0; i < Names.size(); ++i)
    if (NormalName(Names[i]) == want) return static_cast<int32_t>(i + 1);
  return 0;
}
}  // namespace

int32_t TDataTable::FindColIndex(const std::string& ColID) const { return FindName(FColName, ColID); }
int32_t TDataTable::FindRowIndex(const std::string& RowID) const { return FindName(FRowName, RowID); }

// ---- cell states ------------------------------------------------------------------------------

void TDataTable::SetAllCellStates(uint8_t ACellState) {
  for (auto& col : FCState) std::fill(col.begin(), col.end(), ACellState);
  ChangedCellStates();
}
void TDataTable::InvertCellStates(uint8_t StateMask) {
  for (auto& col : FCState)
    for (auto& s : col) s ^= StateMask;
  ChangedCellStates();
}
void TDataTable::UnmarkAllCells() {
  for (auto& col : FCState)
    for (auto& s : col) s &= 0x3F;
  ChangedCellStates();
}
void TDataTable::ExchangeMarkings() {
  for (auto& col : FCState)
    for (auto& s : col) s = static_cast<uint8_t>((s & 0x3F) | ((s & 0x40) << 1) | ((s & 0x80) >> 1));
  ChangedCellStates();
}
bool TDataTable::IfRowHasCellState(int32_t row, uint8_t ACellState) const noexcept {
  if (row < 1 || row > FNrOfRows) return false;
  uint8_t acc = 0;
  for (const auto& col : FCState) acc |= col[row - 1];
  return (acc & ACellState) != 0;
}
bool TDataTable::IfColHasCellState(int32_t col, uint8_t ACellState) const noexcept {
  if (col < 1 || col > FNrOfCols) return false;
  uint8_t acc = 0;
  for (uint8_t s : FCState[col - 1]) acc |= s;
  return (acc & ACellState) != 0;
}
int32_t TDataTable::CountMarkedCellsInRow(int32_t Row, uint8_t StateMask) const noexcept {
  if (Row < 1 || Row > FNrOfRows) return 0;
  int32_t n = 0;
  for (const auto& col : FCState) n += (col[Row - 1] & StateMask) != 0;
  return n;
}
int32_t TDataTable::CountMarkedCellsInColumn(int32_t Col, uint8_t StateMask) const noexcept {
  if (Col < 1 || Col > FNrOfCols) return 0;
  int32_t n = 0;
  for (uint8_t s : FCState[Col - 1]) n += (s & StateMask) != 0;
  return n;
}
int32_t TDataTable::FillMarkedCells(double Value, uint8_t StateMask) {
  int32_t n = 0;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t r = 1; r <= FNrOfRows; ++r)
      if (FCState[c - 1][r - 1] & StateMask) {
        NumericData->SetVal(c, r, Value);
        ++n;
      }
  if (n > 0) ChangedData();
  return n;
}

// ---- inserting and removing -------------------------------------------------------------------

void TDataTable::MoveRow(int32_t From, int32_t To) {
  SetRowAttrib(To, RowAttrib(From));
  SetRowName(To, RowName(From));
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    SetElem(c, To, GetElem(c, From));
    SetCellState(c, To, CellState(c, From));
  }
}

void TDataTable::BlankRow(int32_t Row) {
  SetRowAttrib(Row, 0);
  SetRowName(Row, "");
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    SetElem(c, Row, 0.0);
    SetCellState(c, Row, 0);
  }
}

void TDataTable::MoveColumn(int32_t From, int32_t To, bool AlwaysIDs) {
  SetColAttrib(To, ColAttrib(From));
  SetColName(To, ColName(From));
  const TMScaleType t = FVType[From - 1].MScaleType;
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    SetElem(To, r, GetElem(From, r));
    SetCellState(To, r, CellState(From, r));
  }
  FVType[To - 1].MScaleType = t;
  if (AlwaysIDs || dt::IsCatScale(t)) FVType[To - 1].IDs = FVType[From - 1].IDs;
}

void TDataTable::BlankColumn(int32_t Col) {
  SetColAttrib(Col, 0);
  SetColName(Col, "");
  FVType[Col - 1] = TVTypeSpecs{};
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    SetElem(Col, r, 0.0);
    SetCellState(Col, r, 0);
  }
}

void TDataTable::InsertRow(int32_t ix) {
  if (ix < 1 || ix > FNrOfRows + 1) return;
  EnsureDataShape();
  {
    TDetach d(*this);
    SetNrRows(FNrOfRows + 1);
    for (int32_t r = FNrOfRows - 1; r >= ix; --r) MoveRow(r, r + 1);
    BlankRow(ix);
  }
  ChangedSetup();
}

void TDataTable::RemoveRow(int32_t ix) {
  if (ix < 1 || ix > FNrOfRows || FNrOfRows < 2) return;
  EnsureDataShape();
  {
    TDetach d(*this);
    for (int32_t r = ix; r < FNrOfRows; ++r) MoveRow(r + 1, r);
    SetNrRows(FNrOfRows - 1);
  }
  ChangedSetup();
}

void TDataTable::InsertColumn(int32_t ix) {
  if (ix < 1 || ix > FNrOfCols + 1) return;
  EnsureDataShape();
  {
    TDetach d(*this);
    SetNrCols(FNrOfCols + 1);
    for (int32_t c = FNrOfCols - 1; c >= ix; --c) MoveColumn(c, c + 1, true);
    BlankColumn(ix);
  }
  ChangedSetup();
}

void TDataTable::RemoveColumn(int32_t ix) {
  if (ix < 1 || ix > FNrOfCols || FNrOfCols < 2) return;
  EnsureDataShape();
  {
    TDetach d(*this);
    for (int32_t c = ix; c < FNrOfCols; ++c) MoveColumn(c + 1, c, false);
    SetNrCols(FNrOfCols - 1);
  }
  ChangedSetup();
}

}  // namespace qmx
