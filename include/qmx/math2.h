// The multivariate module: covariance, eigen analysis, principal components, pseudo-inverse,
// Mahalanobis distance, Fisher's quotient, curve fitting, nearest neighbours, clustering, plane geometry,
// regression and decomposition, image correlation.
#pragma once

#include "qmx/math2/multivar.h"
#include "qmx/math2/curvefit.h"
#include "qmx/math2/cluster.h"
#include "qmx/math2/geometry.h"
#include "qmx/math2/regress.h"
#include "qmx/math2/image.h"
#include "qmx/math2/smooth.h"
#include "qmx/math2/filters.h"
