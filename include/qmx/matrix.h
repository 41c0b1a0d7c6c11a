// The matrix module: TMatrix and TIntMatrix (and the tag set of their XML form).
#pragma once

#include "qmx/matrix/matxml.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/matrix/tintmatrix.h"
#include "qmx/vector.h"
