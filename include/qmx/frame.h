// The library frame: event types, the per-module error classes, component messages, range
// normalisation and the checksum text shared by all containers.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "qmx/basepack.h"
#include "qmx/runtime.h"

namespace qmx {

// ---- events ---------------------------------------------------------------------------------

using TNotifyEvent = std::function<void(TObject* Sender)>;
// Sender, exchange kind (0 elements, 1 columns, 2 rows), first and second exchanged index,
// first and last index of the stretch that moved.
using TSortExchgEvent =
    std::function<void(TObject* Sender, uint8_t ExchgWhat, int32_t index1, int32_t index2,
                       int32_t first, int32_t last)>;
using TOnPercentDoneEvent = std::function<void(TObject* Sender, int32_t Percent)>;
using TOnCalcDistanceEvent =
    std::function<void(TObject* Sender, int32_t Row1, int32_t Row2, double& Distance)>;
using TOnCheckAbortEvent = std::function<void(TObject* Sender, bool& Abort)>;

// Fires an event when it is assigned; an empty one does nothing.
template <class Event, class... Args>
inline void FireEvent(const Event& E, Args&&... args) {
  if (E) E(std::forward<Args>(args)...);
}

// ---- module error classes -------------------------------------------------------------------

#define QMX_DECLARE_ERROR(Name, Base) \
  class Name : public Base {          \
   public:                            \
    using Base::Base;                 \
  };
QMX_DECLARE_ERROR(EQMXMath1Error, EQMXError)
QMX_DECLARE_ERROR(EQMXComplexError, EQMXError)
QMX_DECLARE_ERROR(EQMXVectorError, EQMXError)
QMX_DECLARE_ERROR(EQMXMatrixError, EQMXError)
QMX_DECLARE_ERROR(EQMXDataTableError, EQMXError)
QMX_DECLARE_ERROR(EQMXStatisError, EQMXError)
QMX_DECLARE_ERROR(EQMXMath2Error, EQMXError)
QMX_DECLARE_ERROR(EQMXMathExp, EQMXError)
QMX_DECLARE_ERROR(EQMXFourierError, EQMXError)
QMX_DECLARE_ERROR(EQMXWaveletError, EQMXError)
QMX_DECLARE_ERROR(EQMXSLineError, Exception)
#undef QMX_DECLARE_ERROR

// Component "<Name>"<Tail>; tails begin with a colon, e.g. ": not enough memory on heap".
std::string ComponentMessage(const TComponent* C, const std::string& Tail);

// Raises the error class E with a component message.
template <class E>
[[noreturn]] inline void RaiseComponentError(const TComponent* C, const std::string& Tail) {
  throw E(ComponentMessage(C, Tail));
}

// ---- ranges ---------------------------------------------------------------------------------

// (0, 0) is the whole dimension 1..N; otherwise bounds are clamped into 1..N and swapped when
// reversed.
void MakeValidRange(int32_t N, int32_t& Low, int32_t& High) noexcept;

// ---- checksum text --------------------------------------------------------------------------

// Eight (floats) or four (32-bit integers) CRC-32 accumulators, byte k of every element feeding
// accumulator k. Values are visited in the order given.
class TCRCAccumulator8 {
 public:
  TCRCAccumulator8() noexcept;
  void Add(std::span<const double> Values) noexcept;
  std::string Text() const;  // 64 upper-case hexadecimal digits

 private:
  uint32_t FAcc[8];
};

class TCRCAccumulator4 {
 public:
  TCRCAccumulator4() noexcept;
  void Add(std::span<const int32_t> Values) noexcept;
  // The same as adding Count zeros, in time logarithmic in Count (runs of unstored cells).
  void AddZeros(uint64_t Count) noexcept;
  std::string Text() const;  // 32 upper-case hexadecimal digits

 private:
  uint32_t FAcc[4];
};

inline std::string CRCTextOf(std::span<const double> Values) {
  TCRCAccumulator8 a;
  a.Add(Values);
  return a.Text();
}
inline std::string CRCTextOf(std::span<const int32_t> Values) {
  TCRCAccumulator4 a;
  a.Add(Values);
  return a.Text();
}

}  // namespace qmx
