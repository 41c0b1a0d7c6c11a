// TCrossValidator: random test sets, model building and prediction through events, PRESS and
// classification counts; and the comment of a model file.
#include <cmath>
#include <fstream>
#include <memory>

#include "qmx/matrix.h"
#include "qmx/statis.h"
#include "qmx/vector.h"

namespace qmx {

TCrossValidator::TCrossValidator(TComponent* AOwner) : TComponent(AOwner) {
  FPress = new TVector(this);
  FTPCnt = new TVector(this);
  FFPCnt = new TVector(this);
  FTNCnt = new TVector(this);
  FFNCnt = new TVector(this);
  FillResults(-1);
}

// The five vectors are owned components and go with this one.
TCrossValidator::~TCrossValidator() = default;

void TCrossValidator::FillResults(double v) {
  for (TVector* r : {FPress, FTPCnt, FFPCnt, FTNCnt, FFNCnt}) r->Fill(v);
}

void TCrossValidator::SetTestSize(int32_t n) {
  FTestSize = n <= 0 ? 1 : n;
  FillResults(-1);
}

bool TCrossValidator::Valid(int32_t ix) const {
  return ix >= 1 && ix <= FPress->NrOfElem() && FPress->Elem(ix) >= 0;
}

double TCrossValidator::Press(int32_t ix) const { return Valid(ix) ? FPress->Elem(ix) : -1; }

double TCrossValidator::GetRMSEP(int32_t ix) const {
  if (!Valid(ix) || FTested <= 0) return -1;
  return std::sqrt(FPress->Elem(ix) / FTested);
}

double TCrossValidator::GetTPRate(int32_t ix) const {
  if (!Valid(ix)) return -1;
  const double tp = FTPCnt->Elem(ix), fn = FFNCnt->Elem(ix);
  return tp + fn == 0 ? 0 : tp / (tp + fn);
}

double TCrossValidator::GetFPRate(int32_t ix) const {
  if (!Valid(ix)) return -1;
  const double fp = FFPCnt->Elem(ix), tn = FTNCnt->Elem(ix);
  return fp + tn == 0 ? 1 : fp / (fp + tn);
}

bool TCrossValidator::Execute() {
  if (!FXMat || !FYMat)
    throw EQMXStatisError("TCrossValidator.Execute: data matrix not assigned");
  if (FXMat->NrOfRows() != FYMat->NrOfRows())
    throw EQMXStatisError("TCrossValidator.Execute: number of rows of XMat and YMat not equal");
  if (!OnModelApplyRequest)
    throw EQMXStatisError("TCrossValidator: OnModelApplyRequest event is not assigned");
  if (!OnModelCreateRequest)
    throw EQMXStatisError("TCrossValidator: OnModelCreateRequest event is not assigned");

  const int32_t N = FXMat->NrOfRows();
  if (FTestSize > N / 2 + 1) FTestSize = N / 2 + 1;
  const int32_t nx = FXMat->NrOfColumns(), ny = FYMat->NrOfColumns();
  // used: drawn (or given up); test: this round; retried: returned to the pool once already.
  TBitFld used, test, retried;
  used.SetSize(N);
  test.SetSize(N);
  retried.SetSize(N);
  TDoubleArray pred(static_cast<std::size_t>(nx)), resp(static_cast<std::size_t>(ny));
  for (TVector* r : {FPress, FTPCnt, FFPCnt, FTNCnt, FFNCnt}) {
    r->Resize(ny > 0 ? ny : 1);
    r->Fill(0);
  }
  FTested = 0;
  bool abort = false;
  // The flag follows the run even when a handler raises.
  struct Running {
    bool& f;
    explicit Running(bool& b) : f(b) { f = true; }
    ~Running() { f = false; }
  } running(FIsRunning);

  int32_t nused = 0;
  TIntArray train, testList;
  while (nused < N && !abort) {
    test.Clear();
    if (N - nused <= FTestSize) {
      for (int32_t i = 1; i <= N; ++i)
        if (!used.GetBit(i)) {
          test.SetBit(i, true);
          used.SetBit(i, true);
        }
      nused = N;
    } else {
      for (int32_t k = 0; k < FTestSize; ++k) {
        int32_t p = RandomInt(N) + 1;
        while (used.GetBit(p)) p = p == N ? 1 : p + 1;
        used.SetBit(p, true);
        test.SetBit(p, true);
        ++nused;
      }
    }
    train.clear();
    testList.clear();
    for (int32_t i = 1; i <= N; ++i) (test.GetBit(i) ? testList : train).push_back(i);

    bool success = false;
    OnModelCreateRequest(this, int32_t(std::nearbyint(double(FTested) / N * 100)), train,
                         success);
    if (success) {
      for (int32_t obj : testList) {
        if (abort) break;
        ++FTested;
        for (int32_t c = 1; c <= nx; ++c) pred[static_cast<std::size_t>(c - 1)] = FXMat->Elem(c, obj);
        std::fill(resp.begin(), resp.end(), 0.0);
        OnModelApplyRequest(this, int32_t(std::nearbyint(double(FTested) / N * 100)), pred, resp);
        for (int32_t c = 1; c <= ny; ++c) {
          const double y = FYMat->Elem(c, obj), yh = resp[static_cast<std::size_t>(c - 1)];
          auto add = [c](TVector* v, double d) { v->Data()[static_cast<std::size_t>(c - 1)] += d; };
          add(FPress, (yh - y) * (yh - y));
          const bool hit = std::fabs(yh - y) < 0.001;
          if (y == 1)
            add(hit ? FTPCnt : FFNCnt, 1);
          else
            add(hit ? FTNCnt : FFPCnt, 1);
        }
        if (OnCheckAbort) OnCheckAbort(this, abort);
      }
    } else {
      // The objects go back to the pool (and-not) to be drawn again with another training set,
      // but only once each: an object whose model fails a second time stays used, unpredicted,
      // so a run whose model building always fails still ends.
      TBitFld back;
      back.Clone(&test);
      back.CombineWith(&retried, loANDNOT);
      used.CombineWith(&back, loANDNOT);
      retried.CombineWith(&back, loOR);
      nused -= back.CountTrueBits();
    }
  }
  if (abort) {
    FillResults(-1);
    return false;
  }
  return true;
}

bool LoadPLSModelComment(const std::string& FileName, std::string& Comment) {
  Comment.clear();
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return false;
  std::string line;
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.rfind("QMX-PLS-MODEL", 0) != 0) return false;
  // Comment lines follow the signature, each starting "# "; the comment is their text joined by
  // line feeds, bounded so that a damaged file cannot exhaust memory.
  constexpr std::size_t kMaxComment = 1 << 20;
  std::string c;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != '#') break;
    std::string text = line.substr(line.size() > 1 && line[1] == ' ' ? 2 : 1);
    if (c.size() + text.size() + 1 > kMaxComment) return false;
    if (!first) c += '\n';
    c += text;
    first = false;
  }
  Comment = c;
  return true;
}

}  // namespace qmx
