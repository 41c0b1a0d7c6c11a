// XML of TKohonen maps: the stream form reading map after map, the open-file form looking for
// one dataid, and the file form. A refused document leaves the map as it was; an accepted one
// writes back and reloads to the same map.
#include <sstream>

#include "fuzz_common.h"
#include "qmx/kohonen.h"

using namespace qmx;
using namespace qmxfuzz;

namespace {

// Everything a stored map holds, as its own XML text.
std::string XmlState(const TKohonen& K) {
  std::ostringstream o;
  K.WriteToOpenXMLFile(o, false, "state");
  return o.str();
}
// What a refused load must keep: the map and the shape of the training data.
std::string MapState(const TKohonen& K) {
  return XmlState(K) + std::to_string(K.TrainData().NrOfColumns()) + "x" + std::to_string(K.TrainData().NrOfRows());
}

void ReloadSame(const TKohonen& Loaded) {
  TMemoryStream out;
  Loaded.WriteToXMLStream(&out, true, "again");
  out.SetPosition(0);
  TKohonen again;
  QMX_FUZZ_CHECK(again.ReadFromXMLStream(&out, "again"));
  QMX_FUZZ_CHECK(XmlState(again) == XmlState(Loaded));
  QMX_FUZZ_CHECK(Loaded.TrainData().NrOfColumns() == Loaded.NrOfInSens());
}

template <class Load>
bool Check(TKohonen& K, Load L) {
  const std::string before = MapState(K);
  if (!L(K)) {
    QMX_FUZZ_CHECK(MapState(K) == before);
    return false;
  }
  ReloadSame(K);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, std::size_t Size) {
  const auto in = Bytes(Data, Size);
  const std::string file = WriteScratch("som_xml_in", in);
  TKohonen k;
  k.SetNumInsens(2);
  k.SetSizeX(3);
  k.SetSizeY(2);
  k.SetComment("prior");
  RandSeed(1);
  k.SetWeigtsToRandom();

  TMemoryStream s;
  Fill(s, in);
  for (int n = 0; n < 4; ++n) {  // several maps per document
    const int64_t start = s.Position();
    if (!Check(k, [&](TKohonen& t) { return t.ReadFromXMLStream(&s, ""); })) {
      QMX_FUZZ_CHECK(s.Position() == start);
      break;
    }
  }
  std::istringstream is{std::string(in)};
  if (!Check(k, [&](TKohonen& t) { return t.ReadFromOpenXMLFile(is, "b"); })) QMX_FUZZ_CHECK(is.tellg() == 0);
  Check(k, [&](TKohonen& t) { return t.LoadFromXMLFile(file, ""); });
  std::remove(file.c_str());
  return 0;
}
