#pragma once
// The panel's colours: graphite faceplate, warm light lettering, amber for
// values and lit switches, pale warm screens for the plots.

#include "Canvas.h"

namespace art::palette {

inline constexpr Color kFaceTop = Rgb(44, 45, 49);
inline constexpr Color kFaceBottom = Rgb(30, 31, 34);
inline constexpr Color kPanelTop = Rgb(58, 60, 65);
inline constexpr Color kPanelBottom = Rgb(47, 48, 53);
inline constexpr Color kPanelEdge = Rgb(84, 86, 93);
inline constexpr Color kShadow = Rgb(0, 0, 0, 0.45);

inline constexpr Color kTitle = Rgb(236, 232, 222);
inline constexpr Color kLabel = Rgb(178, 176, 168);
inline constexpr Color kTick = Rgb(150, 148, 141);
inline constexpr Color kTickMajor = Rgb(214, 211, 201);
inline constexpr Color kBrand = Rgb(255, 166, 58);

inline constexpr Color kAmber = Rgb(255, 158, 44);
inline constexpr Color kAmberHot = Rgb(255, 226, 160);
inline constexpr Color kAmberOff = Rgb(78, 56, 34);

inline constexpr Color kTrack = Rgb(18, 18, 20);
inline constexpr Color kKnobSkirtTop = Rgb(66, 68, 74);
inline constexpr Color kKnobSkirtBottom = Rgb(28, 29, 32);
inline constexpr Color kKnobCapTop = Rgb(96, 98, 105);
inline constexpr Color kKnobCapBottom = Rgb(54, 56, 61);
inline constexpr Color kPointer = Rgb(252, 250, 244);

inline constexpr Color kBezel = Rgb(16, 16, 18);
inline constexpr Color kScreenTop = Rgb(238, 233, 210);
inline constexpr Color kScreenBottom = Rgb(222, 216, 188);
inline constexpr Color kGrid = Rgb(120, 110, 80, 0.24);
inline constexpr Color kGridMajor = Rgb(110, 98, 64, 0.42);
inline constexpr Color kScreenText = Rgb(110, 100, 70);

}  // namespace art::palette
