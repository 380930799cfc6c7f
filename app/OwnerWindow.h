// The hidden owner window every job receives; its class name is also introduced to the engine.
#pragma once

inline constexpr char kOwnerWindowClass[] = "OrvaneExe Window";
inline constexpr char kOwnerWindowTitle[] = "OrvaneExe";
