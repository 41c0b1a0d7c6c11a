// The self-organising map module: TKohonen, a rectangular (flat or toroidal) map of SizeX x SizeY
// cells trained on the rows of a data matrix, and the tag set of its stored form.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "qmx/frame.h"
#include "qmx/matrix.h"
#include "qmx/runtime.h"
#include "qmx/vector.h"

namespace qmx {

namespace som {
struct StoredMap;
}

// Items of a stored map, in the order they are written.
enum class TKohonenXMLTag {
  xmlSizeX,
  xmlSizeY,
  xmlComment,
  xmlNrInsens,
  xmlMaxNeighb,
  xmlMaxSteps,
  xmlMaxAlpha,
  xmlCurStep,
  xmlCyclic,
  xmlCell,
  xmlMeanStdDev,
  xmlEndKohonen,
  xmlInvalid
};

class TKohonen : public TComponent {
 public:
  // A 1 x 1 map of one variable with random weights and a 1 x 1 data matrix.
  explicit TKohonen(TComponent* AOwner = nullptr);
  ~TKohonen() override;
  std::string ClassName() const override { return "TKohonen"; }

  // ---- map geometry -----------------------------------------------------------------------
  int32_t SizeX() const noexcept { return FSizeX; }
  int32_t SizeY() const noexcept { return FSizeY; }
  // n <= 0 is ignored; otherwise the weights are replaced by zeros of the new size.
  void SetSizeX(int32_t n);
  void SetSizeY(int32_t n);
  int32_t NrOfInSens() const noexcept { return FNrInSens; }
  // n <= 0 is ignored; otherwise weights, data matrix (n x NrOfTrnObj) and both vectors are
  // replaced by zeros.
  void SetNumInsens(int32_t n);
  bool Cyclic() const noexcept { return FCyclic; }
  void SetCyclic(bool Value) noexcept { FCyclic = Value; }

  // ---- training schedule ------------------------------------------------------------------
  int32_t InitialNeighbors() const noexcept { return FMaxNeighb; }
  void SetInitialNeighbors(int32_t Value) noexcept { FMaxNeighb = Value; }
  int32_t NrOfTrnSteps() const noexcept { return FMaxSteps; }
  // Values below 1 are ignored (the schedule divides by the step count).
  void SetNrOfTrnSteps(int32_t Value) noexcept;
  double InitialAlpha() const noexcept { return FMaxAlpha; }
  void SetInitialAlpha(double Value) noexcept { FMaxAlpha = Value; }
  // State of the schedule: the next epoch's number, the last epoch's radius and rate.
  int32_t CurStep() const noexcept { return FCurStep; }
  int32_t CurNeighb() const noexcept { return FCurNeighb; }
  double CurAlpha() const noexcept { return FCurAlpha; }
  const std::string& Comment() const noexcept { return FComment; }
  void SetComment(const std::string& Value) { FComment = Value; }

  // ---- training data ----------------------------------------------------------------------
  // One row per training object, one column per variable. The matrix is copied; the variable
  // count becomes its column count and weights, MeanVec and StdDevVec are replaced by zeros.
  // A null matrix or one without columns is ignored.
  void SetDataMat(const TMatrix* Value);
  void SetTrainData(const TMatrix* Value) { SetDataMat(Value); }
  const TMatrix& TrainData() const noexcept { return *FDataMat; }
  int32_t NrOfTrnObj() const noexcept { return FNrTrnObj; }
  // Standardises the data columns in place; MeanVec and StdDevVec receive their means and
  // standard deviations. A column of standard deviation 0 is centred.
  void StandardizeData();

  // ---- training ---------------------------------------------------------------------------
  // Every weight uniform in [-0.1, 0.1) from the library's generator (RandSeed makes it
  // repeatable), cells in the order x, y, variable.
  void SetWeigtsToRandom();
  // CurStep = 1, random weights, then ContinueTraining.
  void Trainit();
  // Runs epochs from CurStep until NrOfTrnSteps - 1 (at least one) or an abort.
  void ContinueTraining();
  // Stops training after the epoch in progress (meant for the OnFeedback handler).
  void AbortTraining() noexcept { FAbort = true; }

  // ---- using the map ----------------------------------------------------------------------
  // Best-matching cell of one object given in data units; Distance is the squared distance in
  // the trained units. BestIx/BestIy are written only when some cell is nearer than
  // uc_MaxDouble (never for a null InData or an object with a NaN).
  void ApplyIt(const TVector* InData, int32_t& BestIx, int32_t& BestIy, double& Distance) const;
  // Weight in data units (the inverse of the transform ApplyIt applies); 0 outside the map.
  double GetWeight(int32_t ix, int32_t iy, int32_t wi) const noexcept;
  double Weights(int32_t ix, int32_t iy, int32_t wi) const noexcept { return GetWeight(ix, iy, wi); }
  // The weights in trained (standardised) units: SizeX x SizeY x NrOfInSens.
  const TMat3D& KohMat() const noexcept { return *FKohMat; }

  // Column means and standard deviations of the training data (zeros before StandardizeData).
  TVector MeanVec;
  TVector StdDevVec;

  // ---- events -----------------------------------------------------------------------------
  // Once per epoch with the percentage of the schedule done.
  TOnPercentDoneEvent OnFeedback;
  void DoFeedback(int32_t percent);

  // ---- map storage (XML) ------------------------------------------------------------------
  // Loaders look for the map whose dataid is DataID (the first map when DataID is empty) and
  // leave the object unchanged when it is missing or damaged.
  bool SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  void WriteToOpenXMLFile(std::ostream& OutFile, bool CreateHeader, const std::string& DataID) const;
  bool ReadFromOpenXMLFile(std::istream& InFile, const std::string& DataID);

 private:
  // A zero-filled weight array of the given size; raises ": not enough memory on heap".
  std::unique_ptr<TMat3D> NewWeights(int32_t nx, int32_t ny, int32_t nz) const;
  void RunEpoch();
  std::string XmlText(bool CreateHeader, const std::string& DataID) const;
  bool Commit(som::StoredMap& S);

  int32_t FMaxNeighb = 2;
  std::string FComment;
  int32_t FCurNeighb = 0;
  int32_t FMaxSteps = 200;
  int32_t FCurStep = 1;
  double FMaxAlpha = 1.0;
  double FCurAlpha = 0.0;
  std::unique_ptr<TMat3D> FKohMat;
  int32_t FSizeX = 1;
  int32_t FSizeY = 1;
  int32_t FNrInSens = 1;
  int32_t FNrTrnObj = 1;
  bool FCyclic = false;
  bool FAbort = false;
  [[maybe_unused]] bool FReserved = true;  // no operation uses it
  std::unique_ptr<TMatrix> FDataMat;
};

}  // namespace qmx
