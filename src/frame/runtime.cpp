#include "qmx/runtime.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace qmx {

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Children may unregister themselves while being deleted, so take the list first.
  std::vector<TComponent*> owned;
  owned.swap(FComponents);
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    (*it)->FOwner = nullptr;
    delete *it;
  }
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* C) {
  FComponents.push_back(C);
  C->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* C) noexcept {
  auto it = std::find(FComponents.begin(), FComponents.end(), C);
  if (it != FComponents.end()) FComponents.erase(it);
  C->FOwner = nullptr;
}

void TComponent::Assign(const TObject* Source) {
  if (Source) {
    // The persistence model first lets the source try to copy itself into us.
    const auto* src = dynamic_cast<const TComponent*>(Source);
    if (src) {
      src->AssignTo(this);
      return;
    }
  }
  throw EConvertError("Cannot assign a " + (Source ? Source->ClassName() : std::string("nil")) +
                      " to a " + ClassName());
}

void TComponent::AssignTo(TObject* Dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " +
                      (Dest ? Dest->ClassName() : std::string("nil")));
}

// ---- streams --------------------------------------------------------------------------------

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
  if (FPos >= FData.size()) return 0;
  std::size_t n = std::min(Count, FData.size() - FPos);
  std::copy_n(FData.data() + FPos, n, static_cast<uint8_t*>(Buffer));
  FPos += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count) {
  if (FPos + Count > FData.size()) FData.resize(FPos + Count);
  std::copy_n(static_cast<const uint8_t*>(Buffer), Count, FData.data() + FPos);
  FPos += Count;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0
                 : Origin == soCurrent ? static_cast<int64_t>(FPos)
                                       : static_cast<int64_t>(FData.size());
  int64_t p = std::max<int64_t>(0, base + Offset);
  FPos = static_cast<std::size_t>(p);
  return p;
}

TFileStream::TFileStream(const std::string& FileName, TFileStreamMode Mode) {
  std::ios::openmode m = std::ios::binary;
  switch (Mode) {
    case fmCreate: m |= std::ios::in | std::ios::out | std::ios::trunc; break;
    case fmOpenRead: m |= std::ios::in; break;
    case fmOpenReadWrite: m |= std::ios::in | std::ios::out; break;
  }
  FFile.open(FileName, m);
  if (!FFile.is_open()) throw Exception("Cannot open file \"" + FileName + "\"");
}

std::size_t TFileStream::Read(void* Buffer, std::size_t Count) {
  FFile.clear();
  FFile.read(static_cast<char*>(Buffer), static_cast<std::streamsize>(Count));
  auto n = static_cast<std::size_t>(FFile.gcount());
  FFile.clear();
  return n;
}

std::size_t TFileStream::Write(const void* Buffer, std::size_t Count) {
  FFile.clear();
  FFile.write(static_cast<const char*>(Buffer), static_cast<std::streamsize>(Count));
  if (!FFile) {
    FFile.clear();
    return 0;
  }
  return Count;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  FFile.clear();
  auto dir = Origin == soBeginning ? std::ios::beg : Origin == soCurrent ? std::ios::cur : std::ios::end;
  FFile.seekg(Offset, dir);
  auto p = static_cast<int64_t>(FFile.tellg());
  FFile.seekp(p, std::ios::beg);
  return p;
}

// ---- random ---------------------------------------------------------------------------------

namespace {
std::mt19937_64& Generator() {
  // Fixed start seed: a program that never seeds still runs reproducibly.
  static std::mt19937_64 gen(5489u);
  return gen;
}
}  // namespace

double RandomUniform() {
  // 53 random bits give every double in [0, 1) on the 2^-53 grid.
  return static_cast<double>(Generator()() >> 11) * 0x1.0p-53;
}

int32_t RandomInt(int32_t n) {
  if (n <= 0) return 0;
  std::uniform_int_distribution<int32_t> d(0, n - 1);
  return d(Generator());
}

void RandSeed(uint64_t Seed) { Generator().seed(Seed); }

void Randomize() {
  auto t = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  Generator().seed(static_cast<uint64_t>(t));
}

}  // namespace qmx
