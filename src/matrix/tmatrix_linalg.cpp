// TMatrix products, decompositions, inverse, determinant, balancing and norms: argument checks,
// events and messages of the class around the kernels of matrix/linalg.h.
#include <algorithm>
#include <new>
#include <stdexcept>
#include <vector>

#include "matrix/linalg.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/vector.h"

namespace qmx {

namespace {

std::vector<double> Work(const TMatrix* owner, std::size_t n) {
  try {
    return std::vector<double>(std::max<std::size_t>(n, 1), 0.0);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  RaiseComponentError<EQMXMatrixError>(owner, ": not enough memory on heap");
}

// Stores a column-major nc x nr result into Res, which must already have that size: through the
// element setter when someone listens to it (one event per cell), else in one block.
void StoreResult(TMatrix* Res, const std::vector<double>& C) {
  const int32_t nc = Res->NrOfColumns(), nr = Res->NrOfRows();
  if (nc == 0 || nr == 0) return;
  if (Res->OnChange) {
    for (int32_t c = 1; c <= nc; ++c)
      for (int32_t r = 1; r <= nr; ++r)
        Res->SetVal(c, r, C[static_cast<std::size_t>(c - 1) * nr + (r - 1)]);
  } else {
    std::copy_n(C.data(), static_cast<std::size_t>(nc) * nr, Res->Data());
  }
}

void StoreResult(TVector* Res, const std::vector<double>& y, int32_t n) {
  for (int32_t i = 1; i <= n; ++i) Res->SetVal(i, y[static_cast<std::size_t>(i - 1)]);
}

}  // namespace

// The products compute into work storage first, so a result object that is also an operand
// still gives the right product.
bool TMatrix::Multiply(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNCol != MatB->FNRow) return false;
  const int32_t m = FNRow, n = MatB->FNCol, k = FNCol;
  std::vector<double> C = Work(this, static_cast<std::size_t>(m) * n);
  linalg::MatMul(Data(), false, MatB->Data(), false, m, n, k, C.data());
  MatRes->Resize(n, m);
  StoreResult(MatRes, C);
  Changed();
  return true;
}

bool TMatrix::MultiplyTransposed(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNCol != MatB->FNCol) return false;
  const int32_t m = FNRow, n = MatB->FNRow, k = FNCol;
  std::vector<double> C = Work(this, static_cast<std::size_t>(m) * n);
  linalg::MatMul(Data(), false, MatB->Data(), true, m, n, k, C.data());
  MatRes->Resize(n, m);
  StoreResult(MatRes, C);
  Changed();
  return true;
}

bool TMatrix::TransposeAndMultiply(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNRow != MatB->FNRow) return false;
  const int32_t m = FNCol, n = MatB->FNCol, k = FNRow;
  std::vector<double> C = Work(this, static_cast<std::size_t>(m) * n);
  linalg::MatMul(Data(), true, MatB->Data(), false, m, n, k, C.data());
  MatRes->Resize(n, m);
  StoreResult(MatRes, C);
  Changed();
  return true;
}

bool TMatrix::Multiply(const TVector* VecB, TVector* VecRes) {
  if (VecB == nullptr || VecRes == nullptr || FNCol != VecB->NrOfElem()) return false;
  std::vector<double> y = Work(this, static_cast<std::size_t>(FNRow));
  linalg::MatVec(Data(), FNRow, FNCol, false, VecB->Data().data(), y.data());
  VecRes->Resize(FNRow);
  StoreResult(VecRes, y, std::min(FNRow, VecRes->NrOfElem()));
  Changed();
  return true;
}

bool TMatrix::TransposeAndMultiply(const TVector* VecB, TVector* VecRes) {
  if (VecB == nullptr || VecRes == nullptr || FNRow != VecB->NrOfElem()) return false;
  std::vector<double> y = Work(this, static_cast<std::size_t>(FNCol));
  linalg::MatVec(Data(), FNRow, FNCol, true, VecB->Data().data(), y.data());
  VecRes->Resize(FNCol);
  StoreResult(VecRes, y, std::min(FNCol, VecRes->NrOfElem()));
  Changed();
  return true;
}

bool TMatrix::Square(TMatrix* MatRes, double Norm) const {
  if (MatRes == nullptr) return false;
  const int32_t n = FNCol;
  if (MatRes == this) {
    // Squaring into itself: work from a copy of the cells.
    std::vector<double> a(FMat);
    const int32_t m = FNRow;
    MatRes->Resize(n, n);
    return linalg::SquareAtA(a.data(), m, n, Norm, MatRes->Data());
  }
  MatRes->Resize(n, n);
  return linalg::SquareAtA(Data(), FNRow, n, Norm, MatRes->Data());
}

bool TMatrix::LUdecomposition(TMatrix* MatL, TMatrix* MatU) const {
  LUParity = 1;
  if (FNCol != FNRow || MatL == nullptr || MatU == nullptr || MatL == MatU) return false;
  if (MatL == this || MatU == this) {
    // The source must stay readable while the factors are written.
    TMatrix snap;
    snap.Assign(this);
    snap.OnChange = nullptr;
    return snap.LUdecomposition(MatL, MatU);
  }
  const int32_t n = FNCol;
  MatL->Resize(n, n);
  MatL->Fill(0.0);
  MatU->Clone(this);
  int32_t parity = 1;
  const linalg::TLUStatus st = linalg::LUDecompose(MatU->Data(), n, nullptr, parity, false);
  LUParity = parity;
  if (st == linalg::luZeroRow) return false;  // MatU still holds the copy
  if (st == linalg::luOK) {
    linalg::LUSplit(MatU->Data(), MatL->Data(), n);
    MatL->Changed();
  }
  MatU->Changed();
  return st == linalg::luOK;
}

double TMatrix::Determinant() const {
  LUParity = 1;
  if (FNCol != FNRow) return 0.0;
  if (FNCol == 0) return 1.0;  // the empty product
  int32_t parity = 1;
  double d;
  try {
    d = linalg::Determinant(Data(), FNCol, parity);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  LUParity = parity;
  return d;
}

bool TMatrix::Invert() {
  if (FNCol != FNRow || !HasCells()) return false;
  linalg::TLUStatus st;
  try {
    st = linalg::Invert(Data(), FNCol);
  } catch (const std::bad_alloc&) {
    RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
  }
  Changed();
  return st == linalg::luOK;
}

bool TMatrix::CholeskyDecomp(TMatrix* MatL) {
  if (FNCol != FNRow) return false;
  const int32_t n = FNCol;
  if (MatL == nullptr || MatL == this) {
    std::vector<double> L = Work(this, static_cast<std::size_t>(n) * n);
    const bool ok = linalg::Cholesky(Data(), n, L.data());
    if (MatL == this) {
      // The factor replaces the matrix, as the caller asked for.
      for (int32_t c = 1; c <= n; ++c)
        for (int32_t r = c; r <= n; ++r) Cell(c, r) = L[static_cast<std::size_t>(c - 1) * n + (r - 1)];
      Changed();
    }
    return ok;
  }
  MatL->Resize(n, n);
  const bool ok = linalg::Cholesky(Data(), n, MatL->Data());
  MatL->Changed();
  return ok;
}

bool TMatrix::Balance() {
  if (FNCol != FNRow || !HasCells()) return false;
  linalg::Balance(Data(), FNCol);
  return true;  // a square matrix is always balanced
}

double TMatrix::Norm(TNormType nt) const {
  switch (nt) {
    case ntColwise:
      return linalg::NormColwise(Data(), FNRow, FNCol);
    case ntRowwise:
      return linalg::NormRowwise(Data(), FNRow, FNCol);
    case ntFrobenius:
      return linalg::NormFrobenius(Data(), FNRow, FNCol);
    case ntSpectral: {
      bool ok = true;
      double s;
      try {
        s = linalg::NormSpectral(Data(), FNRow, FNCol, ok);
      } catch (const std::bad_alloc&) {
        RaiseComponentError<EQMXMatrixError>(this, ": not enough memory on heap");
      }
      if (!ok) throw EQMXMatrixError("near singular covariance matrix");
      return s;
    }
  }
  return 0.0;
}

}  // namespace qmx
