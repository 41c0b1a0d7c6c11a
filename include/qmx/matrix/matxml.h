// Tag set of the XML form of the floating-point matrices (TMatrix, TMat3D, TMat4D).
#pragma once

namespace qmx {

enum class TMatXmlTag {
  xmlMatNumCols,
  xmlMatNumRows,
  xmlMatNumLayers,
  xmlMatNumTimeSlots,
  xmlMatCell,
  xmlMatBegin,
  xmlMatEnd,
  xmlInvalid
};

}  // namespace qmx
