// The matrix module: TMatrix, TIntMatrix, TMat3D, TMat4D (and the tag set of their XML form).
#pragma once

#include "qmx/matrix/matxml.h"
#include "qmx/matrix/tmatrix.h"
#include "qmx/matrix/tintmatrix.h"
#include "qmx/matrix/tmat3d.h"
#include "qmx/matrix/tmat4d.h"
#include "qmx/vector.h"
