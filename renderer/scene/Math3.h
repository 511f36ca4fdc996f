#pragma once

#include <cmath>

namespace orb {

struct Vec3 {
    float x = 0, y = 0, z = 0;

    Vec3() = default;
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vec3 operator*(const Vec3& o) const { return {x * o.x, y * o.y, z * o.z}; }
    Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
};

inline float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(const Vec3& v) { return std::sqrt(Dot(v, v)); }
inline Vec3 Normalize(const Vec3& v)
{
    float len = Length(v);
    return len > 1e-12f ? v * (1.0f / len) : Vec3(0, 0, 0);
}
inline Vec3 Lerp(const Vec3& a, const Vec3& b, float t) { return a + (b - a) * t; }

constexpr float kPi = 3.14159265358979f;
inline float Radians(float degrees) { return degrees * (kPi / 180.0f); }

// An affine transform: 3x3 linear part m (row-major) and translation t.
struct Mat34 {
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 t;

    static Mat34 Translate(const Vec3& v)
    {
        Mat34 r;
        r.t = v;
        return r;
    }
    static Mat34 Scale(const Vec3& s)
    {
        Mat34 r;
        r.m[0][0] = s.x;
        r.m[1][1] = s.y;
        r.m[2][2] = s.z;
        return r;
    }
    // Right-handed rotation by angle (radians) about axis; a zero axis gives the identity.
    static Mat34 Rotate(const Vec3& axis, float angle)
    {
        Mat34 r;
        Vec3 a = Normalize(axis);
        if (Dot(a, a) == 0)
            return r;
        float c = std::cos(angle), s = std::sin(angle), k = 1 - c;
        r.m[0][0] = c + a.x * a.x * k;
        r.m[0][1] = a.x * a.y * k - a.z * s;
        r.m[0][2] = a.x * a.z * k + a.y * s;
        r.m[1][0] = a.y * a.x * k + a.z * s;
        r.m[1][1] = c + a.y * a.y * k;
        r.m[1][2] = a.y * a.z * k - a.x * s;
        r.m[2][0] = a.z * a.x * k - a.y * s;
        r.m[2][1] = a.z * a.y * k + a.x * s;
        r.m[2][2] = c + a.z * a.z * k;
        return r;
    }

    Vec3 Apply(const Vec3& p) const { return ApplyLinear(p) + t; }
    Vec3 ApplyLinear(const Vec3& v) const
    {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }

    Mat34 operator*(const Mat34& o) const
    {
        Mat34 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
        r.t = Apply(o.t);
        return r;
    }

    // Normals transform by the inverse transpose of the linear part; its cofactor matrix is that up
    // to a positive-or-negative scale, which the caller's normalisation removes (sign kept by det).
    Mat34 NormalMatrix() const
    {
        Mat34 r;
        r.m[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
        r.m[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
        r.m[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
        r.m[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
        r.m[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
        r.m[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
        r.m[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
        r.m[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
        r.m[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
        float det = m[0][0] * r.m[0][0] + m[0][1] * r.m[0][1] + m[0][2] * r.m[0][2];
        if (det < 0)
            for (auto& row : r.m)
                for (float& v : row)
                    v = -v;
        return r;
    }
};

}  // namespace orb
