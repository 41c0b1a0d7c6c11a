// TCrossValidator: drives the cross-validation of a model the application builds and applies
// through events; accumulates PRESS, RMSEP and, for 0/1 responses, the true and false positive
// and negative counts per response column.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/runtime.h"

namespace qmx {

class TMatrix;
class TVector;

// Build a model from the objects (rows of XMat and YMat, from 1, ascending) in ObjectList; set
// Success when one was built.
using TOnModelCreateRequestEvent = std::function<void(
    TObject* Sender, int32_t PercentDone, const TIntArray& ObjectList, bool& Success)>;
// Predict one object: Predictors holds its XMat row; write one prediction per YMat column into
// Response (preset to 0).
using TOnModelApplyRequestEvent = std::function<void(
    TObject* Sender, int32_t PercentDone, const TDoubleArray& Predictors, TDoubleArray& Response)>;

// Scaling of partial-least-squares models.
enum TPLSSclMode { scmCenter, scmStandardize };

// Reads the comment of a model file (docs/FORMATS.md); false and an empty comment when the file
// cannot be read or is not a model file.
bool LoadPLSModelComment(const std::string& FileName, std::string& Comment);

class TCrossValidator : public TComponent {
 public:
  explicit TCrossValidator(TComponent* AOwner = nullptr);
  ~TCrossValidator() override;
  std::string ClassName() const override { return "TCrossValidator"; }

  int32_t SizeTestSet() const noexcept { return FTestSize; }
  // n, or 1 for n <= 0; every result reads -1 afterwards.
  void SetTestSize(int32_t n);
  bool IsExecuting() const noexcept { return FIsRunning; }

  TMatrix* XMat() const noexcept { return FXMat; }
  TMatrix* YMat() const noexcept { return FYMat; }
  void SetXMat(TMatrix* M) noexcept { FXMat = M; }
  void SetYMat(TMatrix* M) noexcept { FYMat = M; }

  // true when the run completed, false when it was aborted (results then read -1).
  bool Execute();

  // Per response column ix (from 1); -1 while no valid result exists (before a run, after an
  // abort or SetTestSize, or ix outside the columns).
  double GetRMSEP(int32_t ix) const;  // sqrt(PRESS / objects predicted)
  double GetTPRate(int32_t ix) const;  // TP / (TP + FN); 0 without positives
  double GetFPRate(int32_t ix) const;  // FP / (FP + TN); 1 without negatives
  double RMSEP(int32_t ix) const { return GetRMSEP(ix); }
  double TPRate(int32_t ix) const { return GetTPRate(ix); }
  double FPRate(int32_t ix) const { return GetFPRate(ix); }
  double Press(int32_t ix) const;  // sum of squared prediction errors
  // Objects predicted in the last run (all rows unless some model could never be built).
  int32_t NumPredicted() const noexcept { return FTested; }

  TOnModelApplyRequestEvent OnModelApplyRequest;
  TOnModelCreateRequestEvent OnModelCreateRequest;
  TOnCheckAbortEvent OnCheckAbort;

 private:
  void FillResults(double v);
  bool Valid(int32_t ix) const;

  int32_t FTestSize = 2;
  TVector* FPress;
  bool FIsRunning = false;
  TVector *FTPCnt, *FFPCnt, *FTNCnt, *FFNCnt;
  TMatrix* FXMat = nullptr;
  TMatrix* FYMat = nullptr;
  int32_t FTested = 0;
};

}  // namespace qmx
