#include "Motion.h"

#include <cmath>

namespace orb {

namespace {

// The fraction of a turn completed after seconds, in radians; periods of 0 stand still.
float TurnAngle(double seconds, double period)
{
    if (period == 0)
        return 0;
    double turns = std::fmod(seconds / period, 1.0);
    return static_cast<float>(turns * 2 * kPi);
}

// Any unit vector at right angles to axis, chosen so that an orbit about +Y starts on +X.
Vec3 Perpendicular(const Vec3& axis)
{
    Vec3 a = Normalize(axis);
    Vec3 helper = std::fabs(a.x) < 0.9f ? Vec3(1, 0, 0) : Vec3(0, 0, 1);
    return Normalize(helper - a * Dot(helper, a));
}

}  // namespace

Mat34 LocalTransform(const ObjectDef& def, double seconds)
{
    const Motion& mo = def.motion;
    Vec3 position = def.position;
    if (mo.bobPeriod != 0)
        position.y += mo.bobHeight * std::sin(TurnAngle(seconds, mo.bobPeriod));
    if (mo.orbitRadius > 0) {
        float angle = TurnAngle(seconds, mo.orbitPeriod) + Radians(mo.orbitPhase);
        Vec3 start = Perpendicular(mo.orbitAxis) * mo.orbitRadius;
        position += Mat34::Rotate(mo.orbitAxis, angle).ApplyLinear(start);
    }
    double spinDegrees = std::fmod(double(mo.spinSpeed) * seconds, 360.0);
    return Mat34::Translate(position) * Mat34::Rotate(def.rotateAxis, Radians(def.rotateDegrees)) *
           Mat34::Rotate(mo.spinAxis, Radians(static_cast<float>(spinDegrees))) * Mat34::Scale(def.scale);
}

}  // namespace orb
