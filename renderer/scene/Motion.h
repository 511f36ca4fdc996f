#pragma once

#include "SceneText.h"

namespace orb {

// An object's transform relative to its parent at a time in seconds: position and bob, then the
// orbit around that point, then the fixed rotation, the spin about the object's own axis and scale.
Mat34 LocalTransform(const ObjectDef& def, double seconds);

}  // namespace orb
