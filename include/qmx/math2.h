// The multivariate module: covariance, eigen analysis, principal components, pseudo-inverse,
// Mahalanobis distance, Fisher's quotient and curve fitting.
#pragma once

#include "qmx/math2/multivar.h"
#include "qmx/math2/curvefit.h"
#include "qmx/math2/smooth.h"
#include "qmx/math2/filters.h"
