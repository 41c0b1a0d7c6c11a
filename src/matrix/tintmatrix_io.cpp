// Storage of TIntMatrix: text file, streams, binary file, XML and the sparse file. Every loader
// parses into temporaries and commits only when the whole input was valid.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "matrix/matio.h"
#include "qmx/matrix/tintmatrix.h"

namespace qmx {

using namespace matio;

struct TIntMatrixIO {
  // Writes the values of a column-major block into M, keeping its representation. Dense: M
  // must hold the block. Sparse: only non-zero values and cells that have a record are stored,
  // and the dimensions end up as NC x NR.
  static void CommitBlock(TIntMatrix& M, const BlockHeader& H, const std::vector<int32_t>& V, int32_t NC,
                          int32_t NR) {
    const auto nr = static_cast<std::size_t>(H.Rows());
    // 64-bit counters: a block may end at index 2147483647.
    for (int64_t c64 = H.LoC; c64 <= H.HiC; ++c64)
      for (int64_t r64 = H.LoR; r64 <= H.HiR; ++r64) {
        const auto c = int32_t(c64), r = int32_t(r64);
        int32_t v = V[static_cast<std::size_t>(c - H.LoC) * nr + static_cast<std::size_t>(r - H.LoR)];
        if (!M.FIsSparse) M.FMat[M.Index(c, r)] = v;
        else if (v != 0 || HasRecord(M, c, r)) M.SparseStore(c, r, v);
      }
    if (M.FIsSparse) {
      M.FNCol = NC;
      M.FNRow = NR;
    }
  }

  static bool HasRecord(const TIntMatrix& M, int32_t c, int32_t r) {
    std::size_t p = M.SparseSearch(c, r);
    return p < M.SpMat.size() && M.SpMat[p].colidx == c && M.SpMat[p].rowidx == r;
  }

  // Common end of the text and stream loaders.
  static bool ApplyBlock(TIntMatrix& M, const BlockHeader& H, const std::vector<int32_t>& V, bool Adjust) {
    if (Adjust) {
      // A sparse target only takes the dimensions; a dense one allocates them.
      if (!M.FIsSparse && !AllocationAcceptable(H.HiC, H.HiR, H.Cells())) return false;
      // Resize in sparse mode reports false by design; the dimensions are set all the same.
      M.Resize(H.HiC, H.HiR);
    } else if (M.FNCol < H.HiC || M.FNRow < H.HiR) {
      return false;
    }
    CommitBlock(M, H, V, M.FNCol, M.FNRow);
    M.Changed();
    return true;
  }

  static bool LoadStream(TIntMatrix& M, TStream* In, bool Adjust) {
    if (!In) return false;
    const int64_t start = In->Position();
    auto fail = [&] {
      In->SetPosition(start);
      return false;
    };
    bool err = false;
    int32_t idx[4];
    for (int32_t& x : idx) x = ReadLongintFromStream(In, err);
    if (err) return fail();
    BlockHeader H{idx[0], idx[1], idx[2], idx[3]};
    // The values must be in the stream before any storage is allocated for them.
    if (!H.Valid() || H.Cells() > (In->Size() - In->Position()) / 4) return fail();
    std::vector<int32_t> v(static_cast<std::size_t>(H.Cells()));  // column-major, as written
    if (In->Read(v.data(), v.size() * 4) != v.size() * 4) return fail();
    if (!ApplyBlock(M, H, v, Adjust)) return fail();
    return true;
  }

  static void SaveStream(const TIntMatrix& M, TStream* Out, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) {
    if (!Out) return;
    M.MakeValidColRange(LoC, HiC);
    M.MakeValidRowRange(LoR, HiR);
    // No cell to save: an empty block cannot be written in this layout, so nothing is written;
    // neither is a block of a sparse matrix too large to be loaded again.
    if (M.FNCol <= 0 || M.FNRow <= 0 || (M.FIsSparse && !CellCountAcceptable(HiC - LoC + 1, HiR - LoR + 1))) return;
    for (int32_t x : {LoC, LoR, HiC, HiR}) WriteLongintToStream(Out, x);
    std::vector<int32_t> v = M.BlockValues(LoC, LoR, HiC, HiR);
    Out->Write(v.data(), v.size() * 4);
  }

  static std::string XmlText(const TIntMatrix& M, bool CreateHeader, const std::string& DataID) {
    std::string out, num;
    if (CreateHeader) XmlDeclaration(out);
    XmlBegin(out, "TIntMatrix", DataID.empty() ? M.FDataID : DataID, M.FIsSparse, M.FNCol, M.FNRow);
    auto cell = [&](int32_t c, int32_t r, int32_t v) {
      num.clear();
      AppendInt(num, v);
      XmlCell(out, c, r, num);
    };
    if (M.FIsSparse) {
      for (const auto& e : M.SpMat) cell(e.colidx, e.rowidx, e.value);
    } else {
      for (int32_t c = 1; c <= M.FNCol; ++c)
        for (int32_t r = 1; r <= M.FNRow; ++r) cell(c, r, M.FMat[M.Index(c, r)]);
    }
    XmlEnd(out);
    return out;
  }

  static bool ReadXml(TIntMatrix& M, CharSource& Src, const std::string& DataID) {
    XmlMatrix x;
    std::string err;
    if (!ReadXmlMatrix(Src, DataID, x, err)) return false;
    if ((x.HasLayers && x.NLayers > 1) || (x.HasTimeSlots && x.NTimeSlots > 1)) return false;
    TIntMatrix tmp;
    tmp.FAllocBy = M.FAllocBy;
    if (x.Sparse) {
      tmp.FIsSparse = true;
      tmp.FMat.clear();
      std::vector<TSpMatElemInt> recs;
      recs.reserve(x.Cells.size());
      for (const auto& c : x.Cells) {
        int32_t v;
        if (c.Col > x.NCols || c.Row > x.NRows || c.Layer > 1 || c.Slot > 1 || !ParseInt32(c.Text, v)) return false;
        recs.push_back({c.Col, c.Row, v});
      }
      if (!BuildSparse(tmp, std::move(recs), x.NCols, x.NRows)) return false;
    } else {
      std::vector<std::size_t> order;
      if (!XmlDenseLayout(x, order, err)) return false;
      std::vector<int32_t> m(std::max<std::size_t>(order.size(), 1), 0);
      for (std::size_t k = 0; k < order.size(); ++k)
        if (!ParseInt32(x.Cells[k].Text, m[order[k]])) return false;
      if (!AllocationAcceptable(x.NCols, x.NRows, static_cast<int64_t>(order.size()))) return false;
      m.resize(static_cast<std::size_t>(std::max(x.NCols, 1)) * static_cast<std::size_t>(std::max(x.NRows, 1)), 0);
      tmp.FMat = std::move(m);
      tmp.FNCol = x.NCols;
      tmp.FNRow = x.NRows;
    }
    M.TakeContents(tmp);
    M.FDataID = x.DataID;
    M.Changed();
    return true;
  }

  // Sorts records, refuses duplicates and fills the sparse fields of T (dimensions NC x NR).
  static bool BuildSparse(TIntMatrix& T, std::vector<TSpMatElemInt> recs, int32_t NC, int32_t NR) {
    std::sort(recs.begin(), recs.end(), [](const TSpMatElemInt& a, const TSpMatElemInt& b) {
      return a.colidx < b.colidx || (a.colidx == b.colidx && a.rowidx < b.rowidx);
    });
    for (std::size_t i = 1; i < recs.size(); ++i)
      if (recs[i].colidx == recs[i - 1].colidx && recs[i].rowidx == recs[i - 1].rowidx) return false;
    T.FIsSparse = true;
    std::vector<int32_t>().swap(T.FMat);
    T.SparseReset();
    for (const auto& e : recs) {
      T.FSparseLowCol = std::min(T.FSparseLowCol, e.colidx);
      T.FSparseHighCol = std::max(T.FSparseHighCol, e.colidx);
      T.FSparseLowRow = std::min(T.FSparseLowRow, e.rowidx);
      T.FSparseHighRow = std::max(T.FSparseHighRow, e.rowidx);
    }
    const int64_t n = static_cast<int64_t>(recs.size());
    const int64_t blocks = n == 0 ? 1 : (n + T.FAllocBy - 1) / T.FAllocBy;
    T.FNumAllocated = static_cast<int32_t>(std::min<int64_t>(blocks * T.FAllocBy, 2147483647));
    T.FSparseNumElem = static_cast<int32_t>(n);
    T.SpMat = std::move(recs);
    T.FNCol = NC;
    T.FNRow = NR;
    return true;
  }
};

// ---- XML ----------------------------------------------------------------------------------------

bool TIntMatrix::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  return XmlReadFromStream(InStream, [&](CharSource& s) { return TIntMatrixIO::ReadXml(*this, s, DataID); });
}

bool TIntMatrix::ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID) {
  return XmlReadFromOpenFile(InFile, [&](CharSource& s) { return TIntMatrixIO::ReadXml(*this, s, DataID); });
}

bool TIntMatrix::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  return XmlLoadFromFile(FName, [&](CharSource& s) { return TIntMatrixIO::ReadXml(*this, s, DataID); });
}

void TIntMatrix::WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const {
  WriteText(OutFile, TIntMatrixIO::XmlText(*this, CreateHeader, DataID));
}

void TIntMatrix::WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const {
  if (OutStream) WriteText(*OutStream, TIntMatrixIO::XmlText(*this, CreateHeader, DataID));
}

bool TIntMatrix::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  return WriteWholeFile(FName, TIntMatrixIO::XmlText(*this, true, DataID));
}

// ---- text file ----------------------------------------------------------------------------------

bool TIntMatrix::StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, const std::string& FileName) const {
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  std::string out;
  // The logical block of a huge sparse matrix would not fit in memory: refused, like an empty one.
  const bool writable =
      FNCol > 0 && FNRow > 0 && (!FIsSparse || CellCountAcceptable(HiC - LoC + 1, HiR - LoR + 1));
  if (writable) {
    for (int32_t x : {LoC, LoR, HiC, HiR}) {
      AppendInt(out, x);
      out += ' ';
    }
    out.back() = '\n';
    // 64-bit counters: a sparse block may end at index 2147483647.
    for (int64_t r = LoR; r <= HiR; ++r) {
      for (int64_t c = LoC; c <= HiC; ++c) {
        if (c > LoC) out += ' ';
        AppendInt(out, GetVal(int32_t(c), int32_t(r)));
      }
      out += '\n';
    }
  }
  // A matrix without cells has no block to write; the file is refused rather than left empty.
  return writable && WriteWholeFile(FileName, out);
}

bool TIntMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize) {
  std::string text, err;
  if (!ReadWholeFile(FileName, text)) return false;
  const std::size_t size = text.size();
  TextScanner s(std::move(text));
  BlockHeader h;
  std::vector<int32_t> v;
  if (!ParseTextBlock<int32_t>(s, size, h, v, ParseIntCell, err)) return false;
  return TIntMatrixIO::ApplyBlock(*this, h, v, AdjustMatrixSize);
}

// ---- streams ------------------------------------------------------------------------------------

void TIntMatrix::SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  if (!OutStream) OutStream = new TMemoryStream;
  TIntMatrixIO::SaveStream(*this, OutStream, LoC, LoR, HiC, HiR);
}

void TIntMatrix::SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const {
  TIntMatrixIO::SaveStream(*this, OutStream, LoC, LoR, HiC, HiR);
}

bool TIntMatrix::LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize) {
  return TIntMatrixIO::LoadStream(*this, InStream, AdjustMatrixSize);
}

bool TIntMatrix::LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize) {
  return TIntMatrixIO::LoadStream(*this, InStream, AdjustMatrixSize);
}

// ---- binary file --------------------------------------------------------------------------------

bool TIntMatrix::SaveBinary(const std::string& FName) const {
  BinHeader h;
  h.NCols = FNCol;
  h.NRows = FNRow;
  h.DataID = FDataID;
  if (FIsSparse) {
    h.Kind = BinKind::SparseInt32;
    h.Count = FSparseNumElem;
  } else {
    h.Kind = BinKind::Int32;
    h.Count = int64_t(FNCol) * FNRow;
  }
  BinaryWriter w(FName, h);
  if (!w.Ok()) return false;
  if (FIsSparse) {
    static_assert(sizeof(TSpMatElemInt) == 12, "records are written as three 32-bit integers");
    w.Put(std::span<const int32_t>(reinterpret_cast<const int32_t*>(SpMat.data()), SpMat.size() * 3));
  } else if (h.Count > 0) {
    w.Put(std::span<const int32_t>(FMat.data(), static_cast<std::size_t>(h.Count)));
  }
  return w.Close();
}

// The header checks of LoadBinary; ReadBinaryHeader applies the same, so that the two agree. A
// sparse file keeps its records, so only a dense one must back its storage.
static bool BinaryLoadable(const BinHeader& h) {
  return h.Kind != BinKind::Float64 && h.NLayers == 1 && h.NTimeSlots == 1 &&
         (h.Kind == BinKind::SparseInt32 || AllocationAcceptable(h.NCols, h.NRows, h.Count));
}

bool TIntMatrix::LoadBinary(const std::string& FName) {
  BinaryReader rd(FName);
  if (!rd.Ok()) return false;
  const BinHeader& h = rd.Header();
  if (!BinaryLoadable(h)) return false;
  TIntMatrix tmp;
  tmp.FAllocBy = FAllocBy;
  if (h.Kind == BinKind::Int32) {
    tmp.FMat.assign(static_cast<std::size_t>(std::max(h.NCols, 1)) * static_cast<std::size_t>(std::max(h.NRows, 1)), 0);
    if (h.Count > 0 && !rd.Get(std::span<int32_t>(tmp.FMat.data(), static_cast<std::size_t>(h.Count)))) return false;
    if (!rd.Finish()) return false;
    tmp.FNCol = h.NCols;
    tmp.FNRow = h.NRows;
  } else {
    std::vector<TSpMatElemInt> recs(static_cast<std::size_t>(h.Count));
    if (!rd.Get(std::span<int32_t>(reinterpret_cast<int32_t*>(recs.data()), recs.size() * 3)) || !rd.Finish())
      return false;
    for (const auto& e : recs)
      if (e.colidx < 1 || e.rowidx < 1 || e.colidx > h.NCols || e.rowidx > h.NRows) return false;
    if (!TIntMatrixIO::BuildSparse(tmp, std::move(recs), h.NCols, h.NRows)) return false;
  }
  TakeContents(tmp);
  FDataID = h.DataID;
  Changed();
  return true;
}

bool TIntMatrix::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                                  std::string& DataID) const {
  BinaryReader rd(FName);
  if (!rd.Ok() || !BinaryLoadable(rd.Header())) return false;
  NrColumns = rd.Header().NCols;
  NrRows = rd.Header().NRows;
  DataID = rd.Header().DataID;
  return true;
}

// ---- sparse file --------------------------------------------------------------------------------

namespace {
constexpr std::string_view kSparseMagic = "QMXSPARSE";
}

bool TIntMatrix::StoreSparseMat(const std::string& FileName) const {
  std::string out(kSparseMagic);
  out += " 1\n";
  int64_t count = 0;
  std::string body;
  auto rec = [&](int32_t c, int32_t r, int32_t v) {
    AppendInt(body, c);
    body += ' ';
    AppendInt(body, r);
    body += ' ';
    AppendInt(body, v);
    body += '\n';
    ++count;
  };
  if (FIsSparse) {
    for (const auto& e : SpMat) rec(e.colidx, e.rowidx, e.value);
  } else {
    for (int32_t c = 1; c <= FNCol; ++c)
      for (int32_t r = 1; r <= FNRow; ++r)
        if (int32_t v = FMat[Index(c, r)]; v != 0) rec(c, r, v);
  }
  AppendInt(out, FNCol);
  out += ' ';
  AppendInt(out, FNRow);
  out += ' ';
  AppendInt(out, count);
  out += '\n';
  out += body;
  return WriteWholeFile(FileName, out);
}

bool TIntMatrix::LoadSparseMat(const std::string& FileName) {
  std::string text;
  if (!ReadWholeFile(FileName, text)) return false;
  const std::size_t size = text.size();
  TextScanner s(std::move(text));
  std::string_view tok;
  int32_t version = 0, nc = 0, nr = 0, count = 0;
  if (!s.NextToken(tok) || tok != kSparseMagic) return false;
  if (!s.NextToken(tok) || !ParseInt32(tok, version) || version != 1) return false;
  if (!s.NextToken(tok) || !ParseInt32(tok, nc) || !s.NextToken(tok) || !ParseInt32(tok, nr) ||
      !s.NextToken(tok) || !ParseInt32(tok, count))
    return false;
  // A record takes at least six characters ("1 1 1\n"), so the file bounds the record count.
  if (nc < 0 || nr < 0 || count < 0 || static_cast<std::size_t>(count) > size / 6) return false;
  std::vector<TSpMatElemInt> recs(static_cast<std::size_t>(count));
  for (auto& e : recs) {
    if (!s.NextToken(tok) || !ParseInt32(tok, e.colidx) || !s.NextToken(tok) || !ParseInt32(tok, e.rowidx) ||
        !s.NextToken(tok) || !ParseInt32(tok, e.value))
      return false;
    if (e.colidx < 1 || e.rowidx < 1 || e.colidx > nc || e.rowidx > nr) return false;
  }
  if (!s.OnlySpaceLeft()) return false;
  TIntMatrix tmp;
  tmp.FAllocBy = FAllocBy;
  if (!TIntMatrixIO::BuildSparse(tmp, std::move(recs), nc, nr)) return false;
  TakeContents(tmp);
  Changed();
  return true;
}

}  // namespace qmx
