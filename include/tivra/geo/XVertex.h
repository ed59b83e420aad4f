// Small fixed-size vectors: XVertex2<T> (double and int), XVertex3<double>
// (the library's 3-vector for cartesian positions, velocities, frame axes and
// packed triples such as longitude, latitude, height) and XVertex4<double>.
// Plain values: components in declaration order and nothing else, so arrays
// of vertices are arrays of components.
#pragma once

#include <cmath>

namespace Pelmora::Tivra {

template <class T>
struct XVertex2 {
    T x;
    T y;

    constexpr XVertex2() : x(0), y(0) {}
    constexpr XVertex2(T vx, T vy) : x(vx), y(vy) {}

    /// Exact comparison of every component (non-numbers never compare equal).
    constexpr bool operator==(const XVertex2& v) const { return x == v.x && y == v.y; }
    constexpr bool operator!=(const XVertex2& v) const { return !(*this == v); }

    constexpr XVertex2 operator+(const XVertex2& v) const { return XVertex2(x + v.x, y + v.y); }
    constexpr XVertex2 operator-(const XVertex2& v) const { return XVertex2(x - v.x, y - v.y); }
    constexpr XVertex2 operator-() const { return XVertex2(-x, -y); }
    constexpr XVertex2 operator*(T t) const { return XVertex2(x * t, y * t); }
    constexpr XVertex2 operator/(T t) const { return XVertex2(x / t, y / t); }
    XVertex2& operator+=(const XVertex2& v) { x += v.x; y += v.y; return *this; }
    XVertex2& operator-=(const XVertex2& v) { x -= v.x; y -= v.y; return *this; }
    XVertex2& operator*=(T t) { x *= t; y *= t; return *this; }
    XVertex2& operator/=(T t) { x /= t; y /= t; return *this; }

    constexpr T Dot(const XVertex2& v) const { return x * v.x + y * v.y; }
    constexpr T Norm2() const { return x * x + y * y; }
    double Norm() const { return std::sqrt(static_cast<double>(Norm2())); }
};

template <class T>
constexpr XVertex2<T> operator*(T t, const XVertex2<T>& v) { return v * t; }

template <class T>
struct XVertex3 {
    T x;
    T y;
    T z;

    constexpr XVertex3() : x(0), y(0), z(0) {}
    constexpr XVertex3(T vx, T vy, T vz) : x(vx), y(vy), z(vz) {}

    constexpr bool operator==(const XVertex3& v) const { return x == v.x && y == v.y && z == v.z; }
    constexpr bool operator!=(const XVertex3& v) const { return !(*this == v); }

    constexpr XVertex3 operator+(const XVertex3& v) const { return XVertex3(x + v.x, y + v.y, z + v.z); }
    constexpr XVertex3 operator-(const XVertex3& v) const { return XVertex3(x - v.x, y - v.y, z - v.z); }
    constexpr XVertex3 operator-() const { return XVertex3(-x, -y, -z); }
    constexpr XVertex3 operator*(T t) const { return XVertex3(x * t, y * t, z * t); }
    constexpr XVertex3 operator/(T t) const { return XVertex3(x / t, y / t, z / t); }
    XVertex3& operator+=(const XVertex3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    XVertex3& operator-=(const XVertex3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    XVertex3& operator*=(T t) { x *= t; y *= t; z *= t; return *this; }
    XVertex3& operator/=(T t) { x /= t; y /= t; z /= t; return *this; }

    constexpr T Dot(const XVertex3& v) const { return x * v.x + y * v.y + z * v.z; }
    /// Right-handed cross product this x v.
    constexpr XVertex3 Cross(const XVertex3& v) const
    {
        return XVertex3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    constexpr T Norm2() const { return x * x + y * y + z * z; }
    T Norm() const { return std::sqrt(Norm2()); }
    /// Divides by the length in place unless the length is exactly 0, so a
    /// zero vector stays zero instead of turning into non-numbers.
    XVertex3& Normalize()
    {
        const T n = Norm();
        if (n != 0) { x /= n; y /= n; z /= n; }
        return *this;
    }
};

template <class T>
constexpr XVertex3<T> operator*(T t, const XVertex3<T>& v) { return v * t; }

template <class T>
struct XVertex4 {
    T x;
    T y;
    T z;
    T w;

    constexpr XVertex4() : x(0), y(0), z(0), w(0) {}
    constexpr XVertex4(T vx, T vy, T vz, T vw) : x(vx), y(vy), z(vz), w(vw) {}

    constexpr bool operator==(const XVertex4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    constexpr bool operator!=(const XVertex4& v) const { return !(*this == v); }

    constexpr XVertex4 operator+(const XVertex4& v) const { return XVertex4(x + v.x, y + v.y, z + v.z, w + v.w); }
    constexpr XVertex4 operator-(const XVertex4& v) const { return XVertex4(x - v.x, y - v.y, z - v.z, w - v.w); }
    constexpr XVertex4 operator*(T t) const { return XVertex4(x * t, y * t, z * t, w * t); }
    constexpr XVertex4 operator/(T t) const { return XVertex4(x / t, y / t, z / t, w / t); }

    constexpr T Norm2() const { return x * x + y * y + z * z + w * w; }
    T Norm() const { return std::sqrt(Norm2()); }
};

template <class T>
constexpr XVertex4<T> operator*(T t, const XVertex4<T>& v) { return v * t; }

using XVertex2d = XVertex2<double>;
using XVertex2i = XVertex2<int>;
using XVertex3d = XVertex3<double>;
using XVertex4d = XVertex4<double>;

} // namespace Pelmora::Tivra
