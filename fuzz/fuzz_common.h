// Helpers shared by the fuzz harnesses: the input as a file, the state a failed load must keep,
// and the contract every reader is held to (failure changes nothing, success round-trips).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "qmx/matrix.h"
#include "qmx/vector.h"

namespace qmxfuzz {

// Stops the run with a message; libFuzzer saves the input that led here.
[[noreturn]] inline void Broken(const char* What, const char* File, int Line) {
  std::fprintf(stderr, "contract broken: %s (%s:%d)\n", What, File, Line);
  std::abort();
}
#define QMX_FUZZ_CHECK(cond) ((cond) ? (void)0 : ::qmxfuzz::Broken(#cond, __FILE__, __LINE__))

inline std::string_view Bytes(const uint8_t* Data, std::size_t Size) {
  return {reinterpret_cast<const char*>(Data), Size};
}

// A scratch file name of this process (inputs run one at a time, so one name per tag suffices).
inline std::string ScratchPath(const char* Tag) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/qmx_fuzz_" + std::to_string(::getpid()) + "_" + Tag;
}

// Writes Text to the scratch file Tag and returns its name.
inline std::string WriteScratch(const char* Tag, std::string_view Text) {
  const std::string path = ScratchPath(Tag);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(Text.data(), static_cast<std::streamsize>(Text.size()));
  out.close();
  QMX_FUZZ_CHECK(!out.fail());
  return path;
}

// A memory stream holding Text, positioned at its start.
inline void Fill(qmx::TMemoryStream& S, std::string_view Text) {
  if (!Text.empty()) S.Write(Text.data(), Text.size());
  S.SetPosition(0);
}

// What a failed load must leave as it was, and what a reload must reproduce.
struct State {
  std::string CRC, ID;
  int64_t Dim1 = 0, Dim2 = 0;
  bool Sparse = false;
  bool operator==(const State&) const = default;
};
inline State StateOf(const qmx::TVector& V) { return {V.CRCofData(), "", V.NrOfElem(), 0, false}; }
inline State StateOf(const qmx::TIntVector& V) { return {V.CRCofData(), "", V.NrOfElem(), 0, false}; }
inline State StateOf(const qmx::TMatrix& M) {
  return {M.CRCofData(), M.DataID(), M.NrOfColumns(), M.NrOfRows(), false};
}
inline State StateOf(const qmx::TIntMatrix& M) {
  return {M.CRCofData(), M.DataID(), M.NrOfColumns(), M.NrOfRows(), M.IsSparse()};
}
inline State StateOf(const qmx::TMat3D& M) {
  return {M.CRCofData(), M.DataID(), int64_t(M.NrOfColumns()) << 32 | M.NrOfRows(), M.NrOfLayers(), false};
}
inline State StateOf(const qmx::TMat4D& M) {
  return {M.CRCofData(), M.DataID(), int64_t(M.NrOfColumns()) << 32 | M.NrOfRows(),
          int64_t(M.NrOfLayers()) << 32 | M.NrOfTimeSlots(), false};
}
// The same without the representation, for reloads through a format that does not carry it.
template <class T>
State LogicalStateOf(const T& X) {
  State s = StateOf(X);
  s.Sparse = false;
  return s;
}

// Runs Load(Target). When it fails, the target must be exactly as it was; when it succeeds,
// RoundTrip(Target) writes it back and checks the reload.
template <class T, class Load, class RoundTrip>
bool CheckLoad(T& Target, Load&& L, RoundTrip&& R) {
  const State before = StateOf(Target);
  if (!L(Target)) {
    QMX_FUZZ_CHECK(StateOf(Target) == before);
    return false;
  }
  R(Target);
  return true;
}

// Targets with something in them, so that an unchanged state means something. Small ones for
// loads that resize; a larger one for loads into an existing size.
inline void Prime(qmx::TVector& V, int32_t N = 3) {
  V.Resize(N);
  for (int32_t i = 1; i <= N; ++i) V.SetVal(i, 0.5 * i - 7);
}
inline void Prime(qmx::TIntVector& V, int32_t N = 3) {
  V.Resize(N);
  for (int32_t i = 1; i <= N; ++i) V.SetVal(i, 3 * i - 100);
}
inline void Prime(qmx::TMatrix& M, int32_t NC = 3, int32_t NR = 2) {
  M.Resize(NC, NR);
  for (int32_t c = 1; c <= NC; ++c)
    for (int32_t r = 1; r <= NR; ++r) M.SetVal(c, r, c * 10.25 - r);
  M.SetDataID("prior");
}
// Dense, or sparse with a few records (AllocBy 4).
inline void Prime(qmx::TIntMatrix& M, int32_t NC = 3, int32_t NR = 2) {
  M.Resize(NC, NR);
  for (int32_t c = 1; c <= NC; c += 2)
    for (int32_t r = 1; r <= NR; ++r) M.SetVal(c, r, c * 1000 - r);
  M.SetDataID("prior");
}

inline void Prime(qmx::TMat3D& M) {
  M.Resize(3, 2, 2);
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 2; ++r)
      for (int32_t l = 1; l <= 2; ++l) M.SetVal(c, r, l, c * 10.25 - r + l * 0.125);
  M.SetDataID("prior");
}
inline void Prime(qmx::TMat4D& M) {
  M.Resize(4, 3, 2, 2);
  for (int32_t t = 1; t <= 2; ++t)
    for (int32_t l = 1; l <= 2; ++l)
      for (int32_t r = 1; r <= 3; ++r)
        for (int32_t c = 1; c <= 4; ++c) M.SetVal(c, r, l, t, 1000.0 * t + 100.0 * l + 10.0 * r + c + 0.5);
  M.SetDataID("prior");
}

}  // namespace qmxfuzz
