// Storage of TMatrix: text file (with and without index line), streams, binary file and XML.
// Every loader parses into temporaries and commits only when the whole input was valid.
#include <algorithm>
#include <cmath>
#include <fstream>

#include "frame/loadguard.h"
#include "matrix/matio.h"
#include "qmx/matrix/tmatrix.h"

namespace qmx {

using namespace matio;

namespace {

// A parsed matrix waiting to be committed: NC x NR cells, column-major.
struct Loaded {
  int32_t NC = 0, NR = 0;
  std::vector<double> V;
};

bool ReadIndex(TStream* In, int32_t& X) {
  bool err = false;
  long double v = ReadExtendedFromStream(In, err);
  if (err || !(v >= 1.0L && v <= 2147483647.0L) || v != std::floor(v)) return false;
  X = static_cast<int32_t>(v);
  return true;
}

}  // namespace

// Text of one cell for StoreOnFile: the first Precision setting is the minimum field width
// (-1: none), the second the number of decimals (-1: the shortest text that reads back exactly).
static void AppendCell(std::string& Out, double V, int32_t Width, int32_t Decimals) {
  std::size_t start = Out.size();
  if (Decimals < 0) AppendDouble(Out, V);
  else AppendFixed(Out, V, Decimals);
  PadLeft(Out, start, Width);
}

// Copies a block of values (column-major, block H) into the matrix storage. Shared by the text
// and stream loaders after the size rules were applied.
static void CopyBlockIn(double* Data, int32_t Stride, const BlockHeader& H, const std::vector<double>& V) {
  const auto nr = static_cast<std::size_t>(H.Rows());
  for (int32_t c = H.LoC; c <= H.HiC; ++c)
    std::copy_n(V.data() + static_cast<std::size_t>(c - H.LoC) * nr, nr,
                Data + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Stride) + (H.LoR - 1));
}

// ---- XML ----------------------------------------------------------------------------------------

namespace {

std::string XmlTextOf(const TMatrix& M, bool CreateHeader, const std::string& DataID) {
  return XmlArrayText("TMatrix", DataID.empty() ? M.DataID() : DataID, CreateHeader, M.NrOfColumns(),
                      std::max(M.NrOfRows(), 0), 0, 0, [&](int32_t c, int32_t r, int32_t, int32_t) { return M.Cell(c, r); });
}

// Any two-dimensional element whose cells are numbers: a dense one lists every cell, a sparse
// one (as the integer matrix writes) lists some and the rest read 0.
bool ParseXml(CharSource& Src, const std::string& DataID, Loaded& L, std::string& ID) {
  XmlMatrix x;
  std::string err;
  if (!ReadXmlMatrix(Src, DataID, x, err)) return false;
  if ((x.HasLayers && x.NLayers > 1) || (x.HasTimeSlots && x.NTimeSlots > 1)) return false;
  const std::size_t slots =
      static_cast<std::size_t>(std::max(x.NCols, 1)) * static_cast<std::size_t>(std::max(x.NRows, 1));
  if (x.Sparse) {
    if (!AllocationAcceptable(x.NCols, x.NRows, static_cast<int64_t>(x.Cells.size()))) return false;
    L.V.assign(slots, 0.0);
    for (const auto& c : x.Cells) {
      if (c.Col > x.NCols || c.Row > x.NRows || c.Layer > 1 || c.Slot > 1) return false;
      if (!ParseDouble(c.Text, L.V[static_cast<std::size_t>(c.Col - 1) * static_cast<std::size_t>(x.NRows) +
                                   static_cast<std::size_t>(c.Row - 1)]))
        return false;
    }
  } else {
    std::vector<std::size_t> order;
    if (!XmlDenseLayout(x, order, err)) return false;
    if (!AllocationAcceptable(x.NCols, x.NRows, static_cast<int64_t>(order.size()))) return false;
    L.V.assign(slots, 0.0);
    for (std::size_t k = 0; k < order.size(); ++k)
      if (!ParseDouble(x.Cells[k].Text, L.V[order[k]])) return false;
  }
  L.NC = x.NCols;
  L.NR = x.NRows;
  ID = x.DataID;
  return true;
}

}  // namespace

// Parses the element and commits it when valid.
static bool ReadXmlInto(TMatrix& M, CharSource& Src, const std::string& DataID) {
  Loaded L;
  std::string id;
  if (!ParseXml(Src, DataID, L, id)) return false;
  M.AdoptCells(std::move(L.V), L.NC, L.NR);
  M.SetDataID(id);
  M.Changed();
  return true;
}

bool TMatrix::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return XmlReadFromStream(InStream, [&](CharSource& s) { return ReadXmlInto(*this, s, DataID); });
}

bool TMatrix::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  return XmlReadFromOpenFile(InFile, [&](CharSource& s) { return ReadXmlInto(*this, s, DataID); });
}

bool TMatrix::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return XmlLoadFromFile(FName, [&](CharSource& s) { return ReadXmlInto(*this, s, DataID); });
}

void TMatrix::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const {
  WriteText(OutFile, XmlTextOf(*this, CreateHeader, DataID));
}

void TMatrix::WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const {
  if (OutStream) WriteText(*OutStream, XmlTextOf(*this, CreateHeader, DataID));
}

bool TMatrix::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  return WriteWholeFile(FName, XmlTextOf(*this, true, DataID));
}

// ---- text file ----------------------------------------------------------------------------------

bool TMatrix::StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, const std::string& FileName) const {
  // A matrix without cells has no block to write; the file is refused rather than left empty.
  if (!HasCells()) return false;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  std::string out;
  for (int32_t x : {LoC, LoR, HiC, HiR}) {
    AppendInt(out, x);
    out += ' ';
  }
  out.back() = '\n';
  const int32_t width = FPrecis[0], decimals = FPrecis[1];
  for (int32_t r = LoR; r <= HiR; ++r) {
    for (int32_t c = LoC; c <= HiC; ++c) {
      if (c > LoC) out += ' ';
      AppendCell(out, Cell(c, r), width, decimals);
    }
    out += '\n';
  }
  return WriteWholeFile(FileName, out);
}

bool TMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize) {
  return LoadFromFile(FileName, AdjustMatrixSize, false);
}

bool TMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize, bool AutoDetect) {
  std::string text, err;
  if (!ReadWholeFile(FileName, text)) return false;
  const std::size_t size = text.size();
  TextScanner s(std::move(text));
  BlockHeader h;
  std::vector<double> v;
  if (!AutoDetect) {
    if (!ParseTextBlock<double>(s, size, h, v, ParseDouble, err)) return false;
  } else {
    // Numbers only: every non-empty line with a digit is a row, its fields are the columns.
    std::vector<std::vector<double>> rows;
    std::string_view line;
    std::size_t ncols = 0;
    while (s.NextLine(line)) {
      if (!StringContains(std::string(line), "//dig")) continue;
      auto f = SplitFields(line);
      if (rows.empty()) ncols = f.size();
      if (f.size() != ncols) return false;  // ragged rows: not a matrix
      std::vector<double> row(ncols);
      for (std::size_t c = 0; c < ncols; ++c)
        if (!ParseDouble(f[c], row[c])) return false;
      rows.push_back(std::move(row));
    }
    if (rows.empty() || ncols > 2147483647u || rows.size() > 2147483647u) return false;
    h = BlockHeader{1, 1, static_cast<int32_t>(ncols), static_cast<int32_t>(rows.size())};
    v.resize(static_cast<std::size_t>(h.Cells()));
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (std::size_t c = 0; c < ncols; ++c) v[c * rows.size() + r] = rows[r][c];
  }
  if (AdjustMatrixSize) {
    if (!AllocationAcceptable(h.HiC, h.HiR, h.Cells())) return false;
    Resize(h.HiC, h.HiR);
  } else if (FNCol < h.HiC || FNRow < h.HiR) {
    return false;
  }
  CopyBlockIn(FMat.data(), Stride(), h, v);
  Changed();
  return true;
}

// ---- streams ------------------------------------------------------------------------------------

namespace {
void SaveStreamOf(const TMatrix& M, TStream* Out, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) {
  // No cell, no block: an empty matrix writes nothing.
  if (!Out || !M.HasCells()) return;
  M.MakeValidColRange(LoC, HiC);
  M.MakeValidRowRange(LoR, HiR);
  for (int32_t x : {LoC, LoR, HiC, HiR}) WriteExtendedToStream(Out, x);
  TMemoryStream buf;  // one write per block instead of one per value
  for (int32_t c = LoC; c <= HiC; ++c)
    for (int32_t r = LoR; r <= HiR; ++r) WriteExtendedToStream(&buf, M.Cell(c, r));
  Out->Write(buf.Data().data(), buf.Data().size());
}
}  // namespace

void TMatrix::SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  if (!OutStream) OutStream = new TMemoryStream;
  SaveStreamOf(*this, OutStream, LoC, LoR, HiC, HiR);
}

void TMatrix::SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  SaveStreamOf(*this, OutStream, LoC, LoR, HiC, HiR);
}

namespace {
bool LoadStreamOf(TMatrix& M, TStream* In, bool Adjust) {
  if (!In) return false;
  const int64_t start = In->Position();
  auto fail = [&] {
    In->SetPosition(start);
    return false;
  };
  BlockHeader H;
  if (!ReadIndex(In, H.LoC) || !ReadIndex(In, H.LoR) || !ReadIndex(In, H.HiC) || !ReadIndex(In, H.HiR))
    return fail();
  // The values must be in the stream before any storage is allocated for them.
  if (!H.Valid() || H.Cells() > (In->Size() - In->Position()) / 10) return fail();
  std::vector<double> v(static_cast<std::size_t>(H.Cells()));
  bool err = false;
  for (double& x : v) x = ExtendedToDouble(ReadExtendedFromStream(In, err));
  if (err) return fail();
  if (Adjust) {
    if (!AllocationAcceptable(H.HiC, H.HiR, H.Cells())) return fail();
    M.Resize(H.HiC, H.HiR);
  } else if (M.NrOfColumns() < H.HiC || M.NrOfRows() < H.HiR) {
    return fail();
  }
  CopyBlockIn(M.Data(), M.Stride(), H, v);
  M.Changed();
  return true;
}
}  // namespace

bool TMatrix::LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize) {
  return LoadStreamOf(*this, InStream, AdjustMatrixSize);
}

bool TMatrix::LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize) {
  return LoadStreamOf(*this, InStream, AdjustMatrixSize);
}

// ---- binary file --------------------------------------------------------------------------------

bool TMatrix::SaveBinary(const std::string& FName) const {
  BinHeader h;
  h.Kind = BinKind::Float64;
  h.NCols = FNCol;
  h.NRows = FNRow;
  h.Count = int64_t(FNCol) * FNRow;
  h.DataID = FDataID;
  BinaryWriter w(FName, h);
  if (!w.Ok()) return false;
  if (h.Count > 0) w.Put(std::span<const double>(FMat.data(), static_cast<std::size_t>(h.Count)));
  return w.Close();
}

// The header checks of LoadBinary; ReadBinaryHeader applies the same, so that the two agree.
static bool BinaryLoadable(const BinHeader& h) {
  return h.Kind == BinKind::Float64 && h.NLayers == 1 && h.NTimeSlots == 1 &&
         AllocationAcceptable(h.NCols, h.NRows, h.Count);
}

bool TMatrix::LoadBinary(const std::string& FName) {
  BinaryReader rd(FName);
  if (!rd.Ok()) return false;
  const BinHeader& h = rd.Header();
  if (!BinaryLoadable(h)) return false;
  std::vector<double> m;
  try {
    m.assign(static_cast<std::size_t>(std::max(h.NCols, 1)) * static_cast<std::size_t>(std::max(h.NRows, 1)), 0.0);
  } catch (const std::exception&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  if (h.Count > 0 && !rd.Get(std::span<double>(m.data(), static_cast<std::size_t>(h.Count)))) return false;
  if (!rd.Finish()) return false;
  AdoptCells(std::move(m), h.NCols, h.NRows);
  FDataID = h.DataID;
  Changed();
  return true;
}

bool TMatrix::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                               std::string& DataID) const {
  BinaryReader rd(FName);
  if (!rd.Ok() || !BinaryLoadable(rd.Header())) return false;
  NrColumns = rd.Header().NCols;
  NrRows = rd.Header().NRows;
  DataID = rd.Header().DataID;
  return true;
}

}  // namespace qmx
