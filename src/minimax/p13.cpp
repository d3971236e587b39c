// Minimax problem 13: a power-law model x1*|q|^(t+1/2) - 1 fitted to 61 stored pairs
// (t_k, y_k). Data: empr06(k) = t_k, empr06(61 + k) = y_k.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p13 {
namespace {

constexpr int kM = 61;

constexpr double kT[kM] = {
    1.0,  1.01, 1.02, 1.03,  1.05,  1.075, 1.1,   1.125, 1.15,    1.2,  1.25, 1.3,  1.35,
    1.4,  1.5,  1.6,  1.7,   1.8,   1.9,   2.0,   2.1,   2.2,     2.3,  2.5,  2.75, 3.0,
    3.25, 3.5,  4.0,  4.5,   5.0,   5.5,   6.0,   6.5,   7.0,     7.5,  8.0,  8.5,  9.0,
    10.0, 11.0, 12.0, 13.0,  15.0,  17.5,  20.0,  22.5,  25.0,    30.0, 35.0, 40.0, 50.0,
    60.0, 70.0, 80.0, 100.0, 150.0, 200.0, 300.0, 500.0, 100000.0};

constexpr double kY[kM] = {
    0.973867020527338,  0.9739071166567708, 0.9739479456628652, 0.9739894752938663,
    0.9740745132597437, 0.9741842216696589, 0.9742973269256519, 0.9744134428922203,
    0.9745322170482311, 0.9747764797727715, 0.9750278578117824, 0.975284464182056,
    0.9755447200590988, 0.9758073038991644, 0.9763352119809179, 0.9768613435619559,
    0.9773809409541827, 0.9778907392875119, 0.9783885481108814, 0.9788729536315544,
    0.9793431047857695, 0.9797985582722676, 0.9802391655103386, 0.9810762446841604,
    0.9820429077476529, 0.9829271936363265, 0.9837365656419728, 0.9844784661068233,
    0.9857871311426498, 0.9869012465438085, 0.9878587905485517, 0.9886892856680672,
    0.9894156804971188, 0.9900559286508906, 0.9906242025921481, 0.9911318001873849,
    0.991587816853393,  0.991999644931761,  0.992373347074229,  0.9930255975558294,
    0.9935756271220673, 0.9940456003158136, 0.994451737909803,  0.9951181608511488,
    0.9957558430740884, 0.996246403272644,  0.9966354302220128, 0.9969514603188881,
    0.99743367936799,   0.997784241200232,  0.9980505696059122, 0.998428414437866,
    0.9986835885726165, 0.9988674819868725, 0.9990062994460034, 0.9992019466043546,
    0.9994651956088935, 0.9995978520879489, 0.9997312021493588, 0.9998383844242039,
    0.9999991893980469};

// k indexes the data; outside 1..m every routine writes nothing.
bool in_range(int k) { return k >= 1 && k <= kM; }

// The pieces shared by gradient and Hessian, with the zero guard on h.
struct Terms {
  double t, d, e, h, p;
};

Terms terms(int k, const double* x, const double* data) {
  Terms r{};
  r.t = data[k - 1];
  const double y = data[kM + k - 1];
  r.d = x[2] * r.t + x[3];
  r.e = r.t + 0.5;
  r.h = r.t + x[1] + 1 / r.d;
  if (r.h == 0) r.h = 1e-30;
  r.p = std::pow(std::fabs(r.h / ((r.t + 1) * y)), r.e);
  return r;
}

}  // namespace

void setup(int n, double* x, double* data) {
  for (int i = 0; i < n; ++i) x[i] = 1;
  x[2] = 10;
  for (int k = 0; k < kM; ++k) {
    data[k] = kT[k];
    data[kM + k] = kY[k];
  }
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!in_range(k)) return;
  const double t = data[k - 1];
  const double y = data[kM + k - 1];
  const double s = t + x[1];
  const double d = x[2] * t + x[3];
  const double q = (1 / d + s) / ((t + 1) * y);
  *fk = x[0] * std::pow(std::fabs(q), t + 0.5) - 1;
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!in_range(k)) return;
  const Terms r = terms(k, x, data);
  const double g = r.p * x[0] * r.e / r.h;
  const double d2 = r.d * r.d;
  gk[0] = r.p;
  gk[1] = g;
  gk[2] = -(g / d2) * r.t;
  gk[3] = -g / d2;
}

void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  using detail::packed;
  if (!in_range(k)) return;
  const Terms r = terms(k, x, data);
  const double t = r.t;
  const double d = r.d;
  const double u = r.e * r.p / r.h;
  const double ux = u * x[0] / r.h;
  const double v = (t - 0.5) * ux;
  // At d = 0 the powers of d take the values the guarded d = 1e-30 would give.
  const bool dzero = d == 0;
  const double s = dzero ? 1.0000000000000001e-60 : d * d;
  const double d2x = dzero ? 2e-30 : 2 * d;
  const double d4 = dzero ? 1.0000000000000002e-120 : (d * d) * (d * d);
  const double z = ux * ((t + x[1]) * d2x + t + 1.5) / d4;
  hk[packed(1, 1)] = 0;
  hk[packed(2, 1)] = u;
  hk[packed(2, 2)] = v;
  hk[packed(3, 1)] = -(u / s) * t;
  hk[packed(3, 2)] = -(v / s) * t;
  hk[packed(3, 3)] = z * (t * t);
  hk[packed(4, 1)] = -u / s;
  hk[packed(4, 2)] = -v / s;
  hk[packed(4, 3)] = z * t;
  hk[packed(4, 4)] = z;
}

}  // namespace kinkbench::minimax::p13
