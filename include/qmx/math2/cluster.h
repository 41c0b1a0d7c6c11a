// Nearest neighbours, k-means and agglomerative clustering of a data matrix with one object per
// row and one variable per column.
#pragma once

#include <cstdint>
#include <functional>

#include "qmx/frame.h"
#include "qmx/matrix/tmatrix.h"

namespace qmx {

class TIntMatrix;
class TIntVector;
class TVector;

// Distance of the object in the given row to the query.
using TCalcDistFunc = double (*)(int32_t Row);

enum TKnnWMode { kwmGauss, kwmAverage, kwmMedian, kwmLinear, kwmBiQuad };
enum TClusterMethod { cmSingleLink, cmCompleteLink, cmWard, cmAvgLink, cmFlexLink, cmUpgma };

// Names of the merge rules, in the order of TClusterMethod.
extern const char* const ClusterMethodID[6];

// Feedback of AgglomClustering: sender, value of ProcStat, percent done.
using TClusterFeedBackProc = std::function<void(TObject* Sender, double Counter, double Percent)>;

// The K (at most 100 and at most the number of rows) nearest rows of FirstRow..LastRow (clamped
// to the matrix) to Query: NNList cell (1, i) receives the row index, (2, i) the distance,
// nearest first; cells outside NNList are not written. The distance is DistFunc(row) when given,
// else Euclidean over the elements of Query (columns beyond the data count as 0). Among equal
// distances the later row comes first. Rows whose distance is NaN are never neighbours; when
// fewer than K rows qualify, the remaining entries hold row 0 and uc_MaxReal.
void FindNearestNeighbors(int32_t K, const TMatrix* DataMat, int32_t FirstRow, int32_t LastRow,
                          const TVector* Query, TMatrix* NNList, TCalcDistFunc DistFunc = nullptr);

// Estimate at Query from its K nearest rows and their values in Values (element = row). Mean
// receives the mean neighbour distance. No rows or K <= 0: Estimate = Mean = 0.
void EstimateByKNN(const TMatrix* DataMat, const TVector* Values, int32_t K, TKnnWMode WMode,
                   double WidthFactor, const TVector* Query, double& Estimate, double& Mean);

// Result(i) := mean Euclidean distance of row i to its K nearest rows of the range (itself
// included), for every row i of FirstRow..LastRow. K is clamped to 1..50 and to the rows of
// the range. Result is not resized (elements outside it are not written).
void MeanDistanceKNN(const TMatrix* DataMat, int32_t K, int32_t FirstRow, int32_t LastRow,
                     TVector* Result);

// k-means clustering of all rows (LowIx and HighIx have no effect). Centres becomes
// (columns x NClusters), Assign the cluster (1..NClusters) of every row and Sizes the cluster
// sizes; clusters are numbered by decreasing size. Returns the within-cluster sum of squares,
// or 0 after an abort. RandSeed > 0 draws the initial centres from the rows with that seed,
// otherwise cluster k starts at row k.
double kMeansClustering(const TMatrix* DataMat, int32_t LowIx, int32_t HighIx, int32_t NClusters,
                        int32_t RandSeed, TMatrix* Centres, TIntVector* Assign, TIntVector* Sizes);
double kMeansClustering(const TMatrix* DataMat, int32_t LowIx, int32_t HighIx, int32_t NClusters,
                        TMatrix* Centres, TIntVector* Assign);

int32_t kMeansEstimatedSteps(int32_t a, int32_t b, int32_t c);

// Agglomerative clustering of the rows with the distance mode Mode (DistEvent serves
// dmUserDef) and the merge rule Method (Alpha, clamped to 0.5..1, for cmFlexLink).
// Dendrogram: 3 columns x (n - 1) rows (merged nodes, new node n + r); MergeDist: n - 1 merge
// distances; Positions: 2n - 1 drawing positions (leaves in the drawn order, inner nodes halfway
// between their children). Returns 0, or -1 when aborted (outputs then zero). Fewer than two
// objects raise EQMXMath2Error.
int32_t AgglomClustering(TObject* Sender, TMatrix* DataMat, TDistMode Mode, TClusterMethod Method,
                         double Alpha, TIntMatrix* Dendrogram, TVector* MergeDist,
                         TVector* Positions, const TClusterFeedBackProc& FeedBack = nullptr,
                         const TOnCalcDistanceEvent& DistEvent = nullptr);

// Merges the closest rows of FirstRow..LastRow (weighted means) until NCenters remain and
// writes them to Centres (sized by the caller: its columns and the first NCenters rows).
// MeanDist receives the mean distance of each centre to its nearest other centre. DataMat is
// not changed.
void FindCenters(const TMatrix* DataMat, int32_t FirstRow, int32_t LastRow, int32_t NCenters,
                 TMatrix* Centres, double& MeanDist);

}  // namespace qmx
