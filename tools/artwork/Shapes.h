#pragma once
// Signed distance functions (pixels, negative inside) of the shapes the
// artwork is drawn from, and the angle convention of every dial.

#include <algorithm>
#include <cmath>

namespace art {

constexpr double kPi = 3.14159265358979323846;

// Dial angles in degrees: 0 points straight up, positive clockwise. Every
// knob and scale turns from -135 (minimum, lower left) to +135 (maximum,
// lower right).
constexpr double kDialMin = -135.0;
constexpr double kDialMax = 135.0;

inline double DialAngle(double value) { return kDialMin + (kDialMax - kDialMin) * value; }

struct Dir {
  double x, y;
};

inline Dir Direction(double degrees) {
  const double a = degrees * kPi / 180.0;
  return {std::sin(a), -std::cos(a)};
}

inline auto Circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

inline auto Ring(double cx, double cy, double r, double halfWidth) {
  return [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - halfWidth; };
}

inline auto RoundRect(double l, double t, double r, double b, double radius) {
  return [=](double x, double y) {
    const double qx = std::fabs(x - (l + r) / 2) - ((r - l) / 2 - radius);
    const double qy = std::fabs(y - (t + b) / 2) - ((b - t) / 2 - radius);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
           radius;
  };
}

// A stroke from a to b with round caps.
inline auto Segment(double ax, double ay, double bx, double by, double halfWidth) {
  return [=](double x, double y) {
    const double vx = bx - ax, vy = by - ay, wx = x - ax, wy = y - ay;
    const double len2 = vx * vx + vy * vy;
    const double t = len2 > 0 ? std::clamp((wx * vx + wy * vy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(wx - vx * t, wy - vy * t) - halfWidth;
  };
}

// An arc stroke of radius r around (cx, cy) from dial angle a0 to a1
// (a0 < a1), with round caps.
inline auto Arc(double cx, double cy, double r, double a0, double a1, double halfWidth) {
  const Dir d0 = Direction(a0), d1 = Direction(a1);
  return [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double angle = std::atan2(dx, -dy) * 180.0 / kPi;
    if (angle >= a0 && angle <= a1) return std::fabs(std::hypot(dx, dy) - r) - halfWidth;
    const double e0 = std::hypot(x - (cx + d0.x * r), y - (cy + d0.y * r));
    const double e1 = std::hypot(x - (cx + d1.x * r), y - (cy + d1.y * r));
    return std::min(e0, e1) - halfWidth;
  };
}

// The band of width 2 x halfWidth along the outline of another shape.
template <class Dist>
auto Outline(const Dist& d, double halfWidth) {
  return [=](double x, double y) { return std::fabs(d(x, y)) - halfWidth; };
}

// Points inside both shapes.
template <class A, class B>
auto Intersect(const A& a, const B& b) {
  return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

}  // namespace art
