// The small runtime the library stands on: root object and component with owner and name,
// the base exception and the input/output error, byte streams, and the process-wide uniform
// random generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

namespace qmx {

// ---- exceptions -----------------------------------------------------------------------------

// The host runtime's base exception; what() returns the message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const noexcept { return FMessage; }

 private:
  std::string FMessage;
};

// The runtime's floating-point error class.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};

// The runtime's input/output error: a file could not be opened, created, read or written, or
// holds less or other than its operation needs. The message names the operation and the file:
// <Operation>: cannot <Action> file "<FileName>": <Reason>.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& Operation, const std::string& Action, const std::string& FileName,
              const std::string& Reason)
      : Exception(Operation + ": cannot " + Action + " file \"" + FileName + "\": " + Reason),
        FOperation(Operation),
        FFileName(FileName) {}
  const std::string& Operation() const noexcept { return FOperation; }
  const std::string& FileName() const noexcept { return FFileName; }

 private:
  std::string FOperation, FFileName;
};

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  // Class name used in messages (the assignment error names both classes).
  virtual std::string ClassName() const { return "TObject"; }
};

// Raised when Assign/AssignTo meet a class they cannot copy from / to.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Owner/name base. An owned component is deleted with its owner and unregisters itself from its
// owner when it is deleted first.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  std::string ClassName() const override { return "TComponent"; }

  TComponent* Owner() const noexcept { return FOwner; }
  const std::string& Name() const noexcept { return FName; }
  void SetName(const std::string& AName) { FName = AName; }
  int32_t ComponentCount() const noexcept { return static_cast<int32_t>(FComponents.size()); }
  TComponent* Components(int32_t i) const { return FComponents.at(static_cast<std::size_t>(i)); }

  // Copy operations of the persistence model; the base versions raise EConvertError
  // "Cannot assign a <Source> to a <Dest>".
  virtual void Assign(const TObject* Source);
  virtual void AssignTo(TObject* Dest) const;

 private:
  void InsertComponent(TComponent* C);
  void RemoveComponent(TComponent* C) noexcept;
  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
};

// ---- streams --------------------------------------------------------------------------------

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// Byte stream with a position, the runtime's stream model.
class TStream {
 public:
  virtual ~TStream() = default;
  // Returns the number of bytes actually read / written.
  virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
  virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t Size();
};

class TMemoryStream : public TStream {
 public:
  std::size_t Read(void* Buffer, std::size_t Count) override;
  std::size_t Write(const void* Buffer, std::size_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  const std::vector<uint8_t>& Data() const noexcept { return FData; }
  std::vector<uint8_t>& Data() noexcept { return FData; }
  void Clear() noexcept {
    FData.clear();
    FPos = 0;
  }

 private:
  std::vector<uint8_t> FData;
  std::size_t FPos = 0;
};

enum TFileStreamMode { fmCreate, fmOpenRead, fmOpenReadWrite };

// File stream; the constructor raises Exception when the file cannot be opened.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& FileName, TFileStreamMode Mode);
  std::size_t Read(void* Buffer, std::size_t Count) override;
  std::size_t Write(const void* Buffer, std::size_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 private:
  std::fstream FFile;
};

// ---- uniform random generator -----------------------------------------------------------------

// One process-wide generator (64-bit Mersenne Twister) behind every random operation.
double RandomUniform();                // uniform in [0, 1)
int32_t RandomInt(int32_t n);          // uniform in 0..n-1 (0 when n <= 0)
void RandSeed(uint64_t Seed);          // explicit seeding, reproducible sequences
void Randomize();                      // reseed from the clock

}  // namespace qmx
