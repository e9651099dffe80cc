#pragma once

// Where the simulated headset is at a given moment.
//
// Path time is seconds on the monotonic clock (CLOCK_MONOTONIC on Linux, the performance counter
// on Windows: the clock of platform::MonotonicSeconds) since the simulator started. The simulator
// prints its start time in its first line and stamps every frame with ticks of the same clock
// (nanoseconds), so a receiver finds the path time of a pose as
//   timestamp / 1e9 - start - clock offset (the offset is zero unless --clock-offset was given).
//
// Poses are in the motion-capture frame: metres, Y up. The headset's forward direction is its
// body +Z axis; the tracker's half turn about Y maps it onto OpenXR's -Z. Seen from behind with Y
// up, the body's right is -X.

struct MocapPose {
    float x, y, z;
    float qx, qy, qz, qw;
};

// Walk around a circle of radius 1.5 m centred on the origin at head height 1.7 m, one lap per
// 20 s, facing along the walk, with a sinusoidal head turn of +-30 degrees at 0.25 Hz.
MocapPose CircleWalkPose(double seconds);

// The same circle at the same pace, facing its centre and looking down at the floor there, so
// that whatever stands at the origin stays in view and is seen from every side in one lap.
MocapPose OrbitPose(double seconds);

enum class MocapPathKind { kFixed, kCircleWalk, kOrbit };

// A path the simulator moves the headset along: one fixed pose, the circle walk or the orbit.
struct MocapPath {
    MocapPathKind kind = MocapPathKind::kCircleWalk;
    MocapPose fixedPose{0.0f, 1.7f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};

    MocapPose PoseAt(double seconds) const;
};

inline constexpr double kCircleRadiusMetres = 1.5;
inline constexpr double kHeadHeightMetres = 1.7;
inline constexpr double kLapSeconds = 20.0;
inline constexpr double kHeadTurnDegrees = 30.0;
inline constexpr double kHeadTurnHertz = 0.25;

// The orbit's downward pitch: the line of sight from 1.7 m height at 1.5 m from the centre meets
// the floor at the centre, atan(1.7 / 1.5).
inline constexpr double kOrbitPitchDegrees = 48.5763;

enum class HandSide { kRight, kLeft };

// Where a hand holding a controller is at a given moment: in front of the head, below the eyes and
// to its side, turned with the head's heading (its yaw, not its pitch or roll, since the hands do
// not follow a nod), swinging forward and back with the walk; the two hands swing in opposite
// phase. On the fixed path the head does not walk, so the hands stand still with it. A pure
// function of the path and the time, like the head's pose.
MocapPose HandPoseAt(const MocapPath& path, double seconds, HandSide side);

inline constexpr double kHandSideMetres = 0.2;
inline constexpr double kHandForwardMetres = 0.35;
inline constexpr double kHandBelowEyesMetres = 0.35;
inline constexpr double kHandSwingMetres = 0.05;  // amplitude, forward and back
inline constexpr double kHandSwingHertz = 1.0;    // about one swing per two steps

// The name a path goes by on the command line and in the simulator's first line.
const char* MocapPathName(MocapPathKind kind);
