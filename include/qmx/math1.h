// Scalar mathematics (module Qmx_math1): free functions over plain arrays and numbers.
// The module is split into topic headers; include this one. Complex numbers (qmx/complex.h) and
// straight lines (qmx/sline.h) are modules of their own in the same subsystem.
#pragma once

#include "qmx/math1/arrays.h"
#include "qmx/math1/random.h"
#include "qmx/math1/scalar.h"
#include "qmx/math1/numtext.h"
