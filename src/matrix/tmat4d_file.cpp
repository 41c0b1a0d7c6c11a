// The block file of TMat4D: 4096-byte blocks, block 0 the header (columns, rows, layers, time
// slots as 32-bit little-endian integers, then the DataID as a length byte and its characters),
// blocks 1... the values, 512 per block, column fastest, then row, layer, time slot. The file
// order is the storage order, and the values of consecutive blocks follow each other without
// gaps, so every read and write moves whole stretches of the storage.
//
// Damaged files are refused before anything is allocated or changed: a header with a count
// below 1 (time slots below 0 for appending), an element count beyond the address range, or more
// blocks than the file holds. Loads read into new storage and commit only when complete.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <sys/types.h>

#include "matrix/nd_impl.h"
#include "qmx/matrix/tmat4d.h"

namespace qmx {

namespace {

constexpr int64_t kBlock = 4096;
constexpr int64_t kPerBlock = 512;
constexpr std::size_t kChunk = std::size_t(1) << 17;  // values moved per read or write call (1 MiB)

struct THeader {
  int32_t NX = 0, NY = 0, NZ = 0, NT = 0;
  std::string DataID;
  uint8_t Raw[kBlock];
};

int32_t GetInt(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}
void PutInt(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

// One open file of one operation; every failure raises EInOutError naming both.
class TBlockFile {
 public:
  TBlockFile(const char* Op, const std::string& FName, const char* Mode, const char* Action)
      : FOp(Op), FName(FName) {
    FFile = std::fopen(FName.c_str(), Mode);
    if (FFile == nullptr) Fail(Action, std::strerror(errno));
    // Unbuffered: reads fetch exactly the bytes asked for (a layer reads only its blocks).
    std::setvbuf(FFile, nullptr, _IONBF, 0);
  }
  ~TBlockFile() {
    if (FFile) std::fclose(FFile);
  }
  [[noreturn]] void Fail(const char* Action, const std::string& Reason) const {
    throw EInOutError(FOp, Action, FName, Reason);
  }
  int64_t Size() {
    if (fseeko(FFile, 0, SEEK_END) != 0) Fail("seek in", std::strerror(errno));
    const off_t s = ftello(FFile);
    if (s < 0) Fail("seek in", std::strerror(errno));
    return s;
  }
  void Seek(int64_t Pos) {
    if (fseeko(FFile, static_cast<off_t>(Pos), SEEK_SET) != 0) Fail("seek in", std::strerror(errno));
  }
  void Read(void* Dst, std::size_t Bytes) {
    if (std::fread(Dst, 1, Bytes, FFile) != Bytes)
      Fail("read", std::ferror(FFile) ? std::strerror(errno) : "file ends before the blocks that are read");
  }
  void Write(const void* Src, std::size_t Bytes) {
    if (std::fwrite(Src, 1, Bytes, FFile) != Bytes) Fail("write", std::strerror(errno));
  }
  void Close() {
    std::FILE* f = FFile;
    FFile = nullptr;
    if (std::fflush(f) != 0 || std::fclose(f) != 0) Fail("write", std::strerror(errno));
  }

 private:
  const char* FOp;
  std::string FName;
  std::FILE* FFile = nullptr;
};

THeader ReadHeader(TBlockFile& F) {
  THeader h;
  F.Seek(0);
  F.Read(h.Raw, kBlock);
  h.NX = GetInt(h.Raw);
  h.NY = GetInt(h.Raw + 4);
  h.NZ = GetInt(h.Raw + 8);
  h.NT = GetInt(h.Raw + 12);
  h.DataID.assign(reinterpret_cast<const char*>(h.Raw + 17), h.Raw[16]);
  return h;
}

// Values of the header's time slots, refused when a count is out of range, the product leaves
// the address range, or the file holds fewer blocks than the header announces.
int64_t CheckHeader(TBlockFile& F, const THeader& h, int32_t MinSlots) {
  if (h.NX < 1 || h.NY < 1 || h.NZ < 1 || h.NT < MinSlots)
    F.Fail("read", "damaged header (" + std::to_string(h.NX) + " x " + std::to_string(h.NY) + " x " +
                       std::to_string(h.NZ) + " x " + std::to_string(h.NT) + " elements)");
  constexpr int64_t kMaxValues = int64_t(1) << 56;  // far beyond any memory, far below overflow
  const int64_t xy = int64_t(h.NX) * h.NY;            // < 2^62
  if (xy > kMaxValues / h.NZ) F.Fail("read", "header announces more elements than can be addressed");
  const int64_t slot = xy * h.NZ;
  if (h.NT > 0 && slot > kMaxValues / h.NT) F.Fail("read", "header announces more elements than can be addressed");
  const int64_t values = slot * h.NT;
  const int64_t blocks = 1 + (values + kPerBlock - 1) / kPerBlock;
  const int64_t have = F.Size() / kBlock;
  if (have < blocks)
    F.Fail("read", "header announces " + std::to_string(blocks) + " blocks, file holds " + std::to_string(have));
  return values;
}

// A file opened for reading with its checked header.
struct TCheckedFile {
  TBlockFile F;
  THeader H;
  TCheckedFile(const char* Op, const std::string& FName) : F(Op, FName, "rb", "open"), H(ReadHeader(F)) {
    CheckHeader(F, H, 1);
  }
  int64_t SlotValues() const { return int64_t(H.NX) * H.NY * H.NZ; }
};

}  // namespace

// The time-slot selection of the file operations: a start beyond Avail fails; a start or end
// <= 0 selects everything; otherwise the end is lowered to Avail (and reversed bounds swapped).
struct TMat4DFile {
  static void Select(const TMat4D& M, int32_t Avail, int32_t& S0, int32_t& S1) {
    if (S0 > Avail) M.Raise(": specified time slot beyond data range");
    if (S0 <= 0 || S1 <= 0) {
      S0 = 1;
      S1 = Avail;
      return;
    }
    S1 = std::min(S1, Avail);
    if (S1 < S0) std::swap(S0, S1);
  }

  // Writes Count values from Src at the file's position, continuing a block of which Kept
  // values are already in Buf, firing the percentage event; the last block is written whole.
  static void WriteValues(const TMat4D& M, TBlockFile& F, const double* Src, int64_t Count, std::vector<double>& Buf,
                          int64_t Kept) {
    ndimpl::TPercentProgress prog(Count);
    auto fire = [&](int32_t pc) { const_cast<TMat4D&>(M).PercDone(const_cast<TMat4D*>(&M), pc); };
    int64_t done = 0;
    if (Kept > 0) {  // complete the block that was begun
      const int64_t n = std::min(Count, kPerBlock - Kept);
      std::copy_n(Src, n, Buf.data() + Kept);
      std::fill(Buf.begin() + Kept + n, Buf.begin() + kPerBlock, 0.0);
      F.Write(Buf.data(), kBlock);
      done = n;
      prog.AdvanceTo(done, fire);
    }
    // Whole blocks go straight from the storage, in large pieces.
    const int64_t wholeEnd = done + (Count - done) / kPerBlock * kPerBlock;
    while (done < wholeEnd) {
      const int64_t n = std::min<int64_t>(kChunk, wholeEnd - done);
      F.Write(Src + done, static_cast<std::size_t>(n) * 8);
      done += n;
      prog.AdvanceTo(done, fire);
    }
    // The rest padded to a whole block (an empty block when nothing was written at all).
    if (done < Count || (Count == 0 && Kept == 0)) {
      const int64_t n = Count - done;
      std::copy_n(Src + done, n, Buf.data());
      std::fill(Buf.begin() + n, Buf.begin() + kPerBlock, 0.0);
      F.Write(Buf.data(), kBlock);
      done = Count;
      prog.AdvanceTo(done, fire);
    }
  }

  // Reads Count values at element E of the data part, in pieces, handing each piece to Take.
  template <class TakeFn>
  static void ReadValues(const TMat4D& M, TBlockFile& F, int64_t E, int64_t Count, double* Dst, TakeFn Take) {
    F.Seek(kBlock + 8 * E);
    ndimpl::TPercentProgress prog(Count);
    auto fire = [&](int32_t pc) { const_cast<TMat4D&>(M).PercDone(const_cast<TMat4D*>(&M), pc); };
    for (int64_t done = 0; done < Count;) {
      const int64_t n = std::min<int64_t>(kChunk, Count - done);
      double* d = Dst ? Dst + done : nullptr;
      Take(d, done, n);
      done += n;
      prog.AdvanceTo(done, fire);
    }
  }
};

void TMat4D::SaveBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) const {
  TMat4DFile::Select(*this, FNumT, TSlotStart, TSlotEnd);
  const int32_t n = TSlotEnd - TSlotStart + 1;
  std::vector<double> buf(kPerBlock, 0.0);
  auto* hdr = reinterpret_cast<uint8_t*>(buf.data());
  PutInt(hdr, FNumX);
  PutInt(hdr + 4, FNumY);
  PutInt(hdr + 8, FNumZ);
  PutInt(hdr + 12, n);
  const std::size_t len = std::min<std::size_t>(FDataID.size(), 255);
  hdr[16] = static_cast<uint8_t>(len);
  std::memcpy(hdr + 17, FDataID.data(), len);
  // Written beside the target and renamed over it when complete: a failure leaves no truncated
  // file under the name (and an older file of that name intact).
  const std::string part = FName + ".part";
  try {
    TBlockFile f("SaveBinary", part, "wb", "create");
    f.Write(hdr, kBlock);
    const int64_t count = int64_t(n) * FNumZ * FNumY * FNumX;
    TMat4DFile::WriteValues(*this, f, SliceData(1, TSlotStart), count, buf, 0);
    f.Close();
  } catch (...) {
    std::remove(part.c_str());
    throw;
  }
  if (std::rename(part.c_str(), FName.c_str()) != 0) {
    const int e = errno;
    std::remove(part.c_str());
    throw EInOutError("SaveBinary", "create", FName, std::strerror(e));
  }
}

void TMat4D::AppendToBinaryFile(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) const {
  TBlockFile f("AppendToBinaryFile", FName, "r+b", "open");
  THeader h = ReadHeader(f);
  const int64_t e0 = CheckHeader(f, h, 0);
  if (h.NX != FNumX || h.NY != FNumY || h.NZ != FNumZ) Raise(": X,Y,Z of matrices do not match");
  TMat4DFile::Select(*this, FNumT, TSlotStart, TSlotEnd);
  const int32_t n = TSlotEnd - TSlotStart + 1;
  if (int64_t(h.NT) + n > 2147483647) f.Fail("append to", "the time slots would exceed 2147483647");
  const int64_t b = 1 + e0 / kPerBlock, i = e0 % kPerBlock;
  std::vector<double> buf(kPerBlock, 0.0);
  if (i > 0) {
    f.Seek(b * kBlock);
    f.Read(buf.data(), static_cast<std::size_t>(i) * 8);
  }
  f.Seek(b * kBlock);
  TMat4DFile::WriteValues(*this, f, SliceData(1, TSlotStart), int64_t(n) * FNumZ * FNumY * FNumX, buf, i);
  // The header counts the new time slots only once they are in the file, so a failed append
  // leaves a file that still reads as before.
  PutInt(h.Raw + 12, h.NT + n);
  f.Seek(0);
  f.Write(h.Raw, kBlock);
  f.Close();
}

bool TMat4D::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows, int32_t& NrLayers,
                              int32_t& NrTimeSlots, std::string& DataID) const {
  TBlockFile f("ReadBinaryHeader", FName, "rb", "open");
  const THeader h = ReadHeader(f);
  NrColumns = h.NX;
  NrRows = h.NY;
  NrLayers = h.NZ;
  NrTimeSlots = h.NT;
  DataID = h.DataID;
  return h.NZ > 0 && h.NT > 0;
}

void TMat4D::LoadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  TCheckedFile cf("LoadBinary", FName);
  TBlockFile& f = cf.F;
  const THeader& h = cf.H;
  TMat4DFile::Select(*this, h.NT, TSlotStart, TSlotEnd);
  const int32_t n = TSlotEnd - TSlotStart + 1;
  const int64_t slot = cf.SlotValues();
  std::vector<double> v = ndimpl::AllocValues(this, static_cast<std::size_t>(slot * n), ": cannot resize, memory low");
  TMat4DFile::ReadValues(*this, f, (TSlotStart - 1) * slot, slot * n, v.data(),
                         [&](double* d, int64_t, int64_t k) { f.Read(d, static_cast<std::size_t>(k) * 8); });
  // Complete: only now does the object take the file's size, values and DataID.
  Adopt(std::move(v), h.NX, h.NY, h.NZ, n);
  FDataID = h.DataID;
  Changed();
}

void TMat4D::ReadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  TCheckedFile cf("ReadBinary", FName);
  TBlockFile& f = cf.F;
  const THeader& h = cf.H;
  TMat4DFile::Select(*this, h.NT, TSlotStart, TSlotEnd);
  const int32_t n = TSlotEnd - TSlotStart + 1;
  const int64_t slot = cf.SlotValues();
  std::vector<double> buf(std::min<int64_t>(kChunk, slot * n));
  int32_t x = 1, y = 1, z = 1, t = 1;
  TMat4DFile::ReadValues(*this, f, (TSlotStart - 1) * slot, slot * n, nullptr, [&](double*, int64_t, int64_t k) {
    f.Read(buf.data(), static_cast<std::size_t>(k) * 8);
    for (int64_t j = 0; j < k; ++j) {
      ReadElement(this, x, y, z, t, buf[static_cast<std::size_t>(j)]);
      if (++x > h.NX) {
        x = 1;
        if (++y > h.NY) {
          y = 1;
          if (++z > h.NZ) {
            z = 1;
            ++t;
          }
        }
      }
    }
  });
}

namespace {

// Reads one layer of one time slot of a checked file into Values (row by row, column fastest).
std::vector<double> ReadLayerValues(const TMat4D& M, TBlockFile& F, const THeader& h, int32_t Layer, int32_t TSlot,
                                    int32_t MaxLayer) {
  if (TSlot < 1 || TSlot > h.NT) RaiseComponentError<EQMXMatrixError>(&M, ": specified time slot beyond data range");
  if (Layer < 1 || Layer > h.NZ || Layer > MaxLayer)
    RaiseComponentError<EQMXMatrixError>(&M, ": specified layer beyond data range");
  const int64_t plane = int64_t(h.NX) * h.NY;
  std::vector<double> v = ndimpl::AllocValues(&M, static_cast<std::size_t>(plane));
  TMat4DFile::ReadValues(M, F, ((int64_t(TSlot) - 1) * h.NZ + (Layer - 1)) * plane, plane, v.data(),
                         [&](double* d, int64_t, int64_t k) { F.Read(d, static_cast<std::size_t>(k) * 8); });
  return v;
}

}  // namespace

void TMat4D::ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot) {
  TCheckedFile cf("ReadLayer", FName);
  TBlockFile& f = cf.F;
  const THeader& h = cf.H;
  // The layer lands at the same indices, so the object must be at least as large as the file's
  // layer and hold the time slot; a smaller one is refused before anything is read.
  if (h.NX > FNumX) Raise(": specified column beyond data range");
  if (h.NY > FNumY) Raise(": specified row beyond data range");
  if (TSlot > FNumT && TSlot <= h.NT) Raise(": specified time slot beyond data range");
  const std::vector<double> v = ReadLayerValues(*this, f, h, Layer, TSlot, FNumZ);
  for (int32_t r = 1; r <= h.NY; ++r)
    std::copy_n(v.data() + static_cast<std::size_t>(r - 1) * h.NX, h.NX, RowData(r, Layer, TSlot));
  Changed();
}

void TMat4D::ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot, TDouble2DArray& Data) const {
  TCheckedFile cf("ReadLayer", FName);
  TBlockFile& f = cf.F;
  const THeader& h = cf.H;
  const std::vector<double> v = ReadLayerValues(*this, f, h, Layer, TSlot, 2147483647);
  TDouble2DArray d;
  try {
    d.assign(static_cast<std::size_t>(h.NX), TDoubleArray(static_cast<std::size_t>(h.NY)));
  } catch (const std::bad_alloc&) {
    Raise(": not enough memory on heap");
  }
  for (int32_t r = 0; r < h.NY; ++r)
    for (int32_t c = 0; c < h.NX; ++c)
      d[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = v[static_cast<std::size_t>(r) * h.NX + c];
  Data.swap(d);
}

}  // namespace qmx
