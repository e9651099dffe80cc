#include "override/PosePrediction.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace {

struct Vector {
    double x = 0.0, y = 0.0, z = 0.0;
};

struct Quaternion {
    double x, y, z, w;
};

Quaternion Widen(const XrQuaternionf& q) {
    return {q.x, q.y, q.z, q.w};
}

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// The rotation vector (axis times angle) of a unit quaternion, taking the shorter way round.
Vector Log(Quaternion q) {
    if (q.w < 0.0) {
        q = {-q.x, -q.y, -q.z, -q.w};
    }
    const double sine = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    const double scale = sine < 1e-12 ? 2.0 : 2.0 * std::atan2(sine, q.w) / sine;
    return {q.x * scale, q.y * scale, q.z * scale};
}

Quaternion Exp(const Vector& r) {
    const double angle = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    const double scale = angle < 1e-12 ? 0.5 : std::sin(angle / 2.0) / angle;
    return {r.x * scale, r.y * scale, r.z * scale, std::cos(angle / 2.0)};
}

// Least-squares line through (t_i, v_i), evaluated at t.
struct LineFit {
    double sumT = 0.0, sumTT = 0.0;
    Vector sumV, sumTV;
    int count = 0;

    void Add(double t, const Vector& v) {
        sumT += t;
        sumTT += t * t;
        sumV = {sumV.x + v.x, sumV.y + v.y, sumV.z + v.z};
        sumTV = {sumTV.x + t * v.x, sumTV.y + t * v.y, sumTV.z + t * v.z};
        ++count;
    }

    Vector At(double t) const {
        const double n = count;
        const double spread = n * sumTT - sumT * sumT;
        const auto one = [&](double sv, double stv) {
            const double slope = (n * stv - sumT * sv) / spread;
            return (sv - slope * sumT) / n + slope * t;
        };
        return {one(sumV.x, sumTV.x), one(sumV.y, sumTV.y), one(sumV.z, sumTV.z)};
    }
};

// Prediction is full while the stream has been silent for under this many spacings, and fades
// over one more.
constexpr double kFullSpacings = 2.0;
// The least silence in which prediction stays full, and the least time it fades over: a frame
// late by a few milliseconds on a loaded machine must not snap a 240 Hz head back.
constexpr double kSilenceFloorSeconds = 0.025;

// The typical time between captures: the lower median of the positive differences, which frames
// missing here and there do not move. Zero without two distinct capture times.
double TypicalSpacing(const PoseHistory::Snapshot& history) {
    std::array<double, PoseHistory::kCapacity> differences{};
    size_t count = 0;
    for (size_t i = 1; i < history.count; ++i) {
        const double difference = history.samples[i].time - history.samples[i - 1].time;
        if (difference > 0.0) {
            differences[count++] = difference;
        }
    }
    if (count == 0) {
        return 0.0;
    }
    const auto lowerMedian = differences.begin() + static_cast<std::ptrdiff_t>((count - 1) / 2);
    std::nth_element(differences.begin(), lowerMedian,
                     differences.begin() + static_cast<std::ptrdiff_t>(count));
    return *lowerMedian;
}

// How much of the prediction applies after `silence` seconds without a frame: 1, then falling
// linearly to 0, which it reaches by maxGap at the latest.
double PredictionWeight(double silence, double spacing, double maxGap) {
    const double fade = std::max(spacing, kSilenceFloorSeconds);
    const double end =
        std::min(std::max(kFullSpacings * spacing, kSilenceFloorSeconds) + fade, maxGap);
    const double start = std::max(0.0, end - fade);
    if (end <= start) {
        return 0.0;
    }
    return std::clamp((end - silence) / (end - start), 0.0, 1.0);
}

}  // namespace

PoseSample PredictPose(const PoseHistory::Snapshot& history, double target, double now,
                       const PredictionLimits& limits) {
    if (history.count == 0) {
        return {};
    }
    const size_t newestIndex = history.count - 1;
    const PoseSample& newest = history.samples[newestIndex];
    // The fit reaches back across lost frames: were one missing frame to end the run, the head
    // would lose its prediction for a call and regain it at the next, a jump each way. Only a
    // silence longer than maxGap, after which older samples say little of where the head goes, or
    // a capture clock that stepped back ends it.
    size_t first = newestIndex;
    while (first > 0) {
        const double step = history.samples[first].time - history.samples[first - 1].time;
        if (step <= 0.0 || step > limits.maxGap) {
            break;
        }
        --first;
    }
    const double spacing = TypicalSpacing(history);
    const double weight = PredictionWeight(now - newest.arrival, spacing, limits.maxGap);
    if (first == newestIndex || weight <= 0.0) {
        return newest;
    }

    // Times relative to the newest sample keep the sums well conditioned.
    const double at =
        std::clamp(target, newest.time, newest.time + limits.maxHorizon) - newest.time;
    const Quaternion newestInverse{-newest.orientation.x, -newest.orientation.y,
                                   -newest.orientation.z, newest.orientation.w};
    LineFit position;
    LineFit rotation;
    for (size_t i = first; i <= newestIndex; ++i) {
        const PoseSample& sample = history.samples[i];
        const double t = sample.time - newest.time;
        position.Add(t, {sample.position.x, sample.position.y, sample.position.z});
        rotation.Add(t, Log(Multiply(Widen(sample.orientation), newestInverse)));
    }

    // A fading prediction goes only part of the way from the newest pose: the head never jumps.
    const Vector p = position.At(at);
    const Vector r = rotation.At(at);
    const Quaternion q =
        Multiply(Exp({r.x * weight, r.y * weight, r.z * weight}), Widen(newest.orientation));
    PoseSample predicted = newest;
    predicted.time = newest.time + at;
    predicted.position = {
        static_cast<float>(newest.position.x + weight * (p.x - newest.position.x)),
        static_cast<float>(newest.position.y + weight * (p.y - newest.position.y)),
        static_cast<float>(newest.position.z + weight * (p.z - newest.position.z))};
    predicted.orientation = {static_cast<float>(q.x), static_cast<float>(q.y),
                             static_cast<float>(q.z), static_cast<float>(q.w)};
    return predicted;
}
