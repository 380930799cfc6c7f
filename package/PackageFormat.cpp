// The package marker, kept in two halves.
#include "package/PackageFormat.h"

namespace package {

// Read through volatile pointers so that the compiler cannot fold the two halves into one
// constant: the image must never hold the whole marker.
static const char* volatile gMarkerHalves[2] = {"7A41E2C8-95B3-4D17", "-A6F0-3B8E5C92D1A4"};

void JoinMarker(char out[kMarkerLength + 1]) {
  const char* first = gMarkerHalves[0];
  const char* second = gMarkerHalves[1];
  for (uint32_t i = 0; i < kMarkerLength / 2; ++i) {
    out[i] = first[i];
    out[kMarkerLength / 2 + i] = second[i];
  }
  out[kMarkerLength] = '\0';
}

}  // namespace package
