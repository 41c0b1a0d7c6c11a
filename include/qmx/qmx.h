// Umbrella header: every public module of qmx.
#pragma once

#include "qmx/runtime.h"
#include "qmx/basepack.h"
#include "qmx/frame.h"
#include "qmx/asc.h"
#include "qmx/math1.h"
#include "qmx/complex.h"
#include "qmx/sline.h"
#include "qmx/vector.h"
#include "qmx/matrix.h"
#include "qmx/datatable.h"
#include "qmx/statis.h"
#include "qmx/math2.h"
#include "qmx/kohonen.h"
#include "qmx/fourier.h"
#include "qmx/wavelet.h"
