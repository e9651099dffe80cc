#include "tools/demo/PathAnalysis.h"

#include <algorithm>
#include <cmath>

#include "tools/demo/Statistics.h"
#include "tools/mocap-sim/MocapPath.h"

namespace demo {
namespace {

// A stale pose can trail by several seconds (the layer keeps the last pose while the stream is
// down); one lap of the walk is 20 s, so a 10 s window cannot match the wrong lap.
constexpr double kSearchBackSeconds = 10.0;
constexpr double kSearchAheadSeconds = 0.5;
constexpr double kCoarseStep = 0.002;
// Weighs a heading error as the position error of this lever arm.
constexpr double kHeadingLeverMetres = 0.2;
// The common lag is looked for in this range; well inside half a head-turn period (2 s), so that
// the head turns cannot be matched a period off.
constexpr double kFitLagFrom = -0.2;
constexpr double kFitLagTo = 0.8;
constexpr double kFitLagStep = 0.001;
// A sample further off than this (a pose held while the stream was down) counts only this much,
// so that a few of them cannot pull the common fit.
constexpr double kFitCostCap = 0.05 * 0.05;
constexpr size_t kMaxFitSamples = 1500;

struct Head {
    double pathTime;  // of the xrLocateViews call
    Vec3 position;
    double heading;
};

struct Match {
    double pathTime;
    double residualMetres;
};

double Cost(const Head& head, double alignmentYaw, double t) {
    const AppPose pose = MocapToApplication(CircleWalkPose(t), alignmentYaw);
    const double d = Distance(head.position, pose.position);
    const double h = kHeadingLeverMetres * AngleDifference(head.heading, pose.heading);
    return d * d + h * h;
}

template <typename F>
double GoldenMinimum(double lo, double hi, double tolerance, const F& f) {
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    while (hi - lo > tolerance) {
        const double a = hi - ratio * (hi - lo);
        const double b = lo + ratio * (hi - lo);
        if (f(a) < f(b)) {
            hi = b;
        } else {
            lo = a;
        }
    }
    return (lo + hi) / 2.0;
}

Match BestMatch(const Head& head, double alignmentYaw) {
    const double from = std::max(0.0, head.pathTime - kSearchBackSeconds);
    const double to = head.pathTime + kSearchAheadSeconds;
    double best = from;
    double bestCost = Cost(head, alignmentYaw, from);
    for (double t = from + kCoarseStep; t <= to; t += kCoarseStep) {
        if (const double c = Cost(head, alignmentYaw, t); c < bestCost) {
            bestCost = c;
            best = t;
        }
    }
    const double t = GoldenMinimum(best - kCoarseStep, best + kCoarseStep, 1e-6,
                                   [&](double x) { return Cost(head, alignmentYaw, x); });
    const AppPose pose = MocapToApplication(CircleWalkPose(t), alignmentYaw);
    return {t, Distance(head.position, pose.position)};
}

// The alignment that best explains the received headings if every pose trailed by `lag`.
double AlignmentForLag(const std::vector<Head>& heads, double lag) {
    double s = 0.0;
    double c = 0.0;
    for (const Head& head : heads) {
        const double pathHeading =
            MocapToApplication(CircleWalkPose(head.pathTime - lag), 0.0).heading;
        const double d = AngleDifference(head.heading, pathHeading);
        s += std::sin(d);
        c += std::cos(d);
    }
    return std::atan2(s, c);
}

double FitCost(const std::vector<Head>& heads, double lag) {
    const double alignment = AlignmentForLag(heads, lag);
    double total = 0.0;
    for (const Head& head : heads) {
        total += std::min(kFitCostCap, Cost(head, alignment, head.pathTime - lag));
    }
    return total;
}

// The common lag and the alignment that go with it: a scan, then a refinement around the best.
double FitCommonLag(const std::vector<Head>& all) {
    std::vector<Head> heads;
    const size_t step = std::max<size_t>(1, all.size() / kMaxFitSamples);
    for (size_t i = 0; i < all.size(); i += step) {
        heads.push_back(all[i]);
    }
    double best = kFitLagFrom;
    double bestCost = FitCost(heads, best);
    for (double lag = kFitLagFrom + kFitLagStep; lag <= kFitLagTo; lag += kFitLagStep) {
        if (const double c = FitCost(heads, lag); c < bestCost) {
            bestCost = c;
            best = lag;
        }
    }
    return GoldenMinimum(best - kFitLagStep, best + kFitLagStep, 1e-6,
                         [&](double lag) { return FitCost(heads, lag); });
}

}  // namespace

std::optional<LagReport> AnalyseLag(const std::vector<ViewSample>& samples, double pathStart) {
    if (samples.empty()) {
        return std::nullopt;
    }
    std::vector<Head> heads;
    heads.reserve(samples.size());
    for (const ViewSample& sample : samples) {
        heads.push_back({sample.callSeconds - pathStart,
                         Midpoint(sample.left.position, sample.right.position),
                         Heading(sample.left.orientation)});
    }
    LagReport report;
    report.total = heads.size();
    report.alignmentYaw = AlignmentForLag(heads, FitCommonLag(heads));
    std::vector<double> lags;
    std::vector<double> residuals;
    for (const Head& head : heads) {
        const Match match = BestMatch(head, report.alignmentYaw);
        residuals.push_back(match.residualMetres);
        if (match.residualMetres <= kMatchToleranceMetres) {
            lags.push_back(head.pathTime - match.pathTime);
        }
    }
    report.matched = lags.size();
    report.medianResidualMetres = Percentile(residuals, 0.5);
    if (!lags.empty()) {
        report.medianSeconds = Percentile(lags, 0.5);
        report.p99Seconds = Percentile(lags, 0.99);
    }
    return report;
}

std::vector<Vec3> PathInApplicationFrame(double alignmentYaw, double from, double to) {
    std::vector<Vec3> points;
    for (double t = std::max(0.0, from); t <= to; t += 0.02) {
        points.push_back(MocapToApplication(CircleWalkPose(t), alignmentYaw).position);
    }
    return points;
}

}  // namespace demo
