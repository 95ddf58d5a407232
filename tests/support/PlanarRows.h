#pragma once

// Planes of a picture `width` wide held in three vectors, top row first,
// as the rows a drawing or an encoder writes.
#include <cstdint>
#include <vector>

#include "picture/PlanarPicture.h"

namespace TESTSUPPORT {

inline PLANARPICTURE::PlanarRows PlanarRowsOf(std::vector<uint8_t>& y, std::vector<uint8_t>& u,
                                              std::vector<uint8_t>& v, int width) {
  PLANARPICTURE::PlanarRows rows;
  rows.Data[0] = y.data();
  rows.Data[1] = u.data();
  rows.Data[2] = v.data();
  rows.Stride[0] = width;
  rows.Stride[1] = rows.Stride[2] = width / 2;
  return rows;
}

}  // namespace TESTSUPPORT
