// The value guards of the two programs: what an optimiser may see as the objective.
#pragma once

namespace kinkbench::blackbox {

// Failure value and lower guard.
inline constexpr double kBig = 1e80;

// Largest of the partial values fed in order, a NaN counting as -1e80, capped at
// 1e80. When no value reached -1e80 (none fed, or all below it such as -inf) the
// result is 1e80, the signal that the point is not acceptable.
class MinimaxGuard {
 public:
  void take(double fk) {
    if (fk != fk) fk = -kBig;
    if (fk >= running_) {
      running_ = fk;
      taken_ = true;
    }
  }
  double result() const {
    if (!taken_) return kBig;
    return running_ >= kBig ? kBig : running_;
  }

 private:
  double running_ = -kBig;
  bool taken_ = false;
};

// Only the upper cap, by an ordered comparison: NaN and -inf pass unchanged.
inline double cap_objective(double f) { return f >= kBig ? kBig : f; }

}  // namespace kinkbench::blackbox
