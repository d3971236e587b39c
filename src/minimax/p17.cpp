// Minimax problem 17: |b - a|/|a + b| for the pair (a, b) = (1, 10) sent through three
// sections [[c, i p], [i q, c]], one per variable pair (x5, x6), (x3, x4), (x1, x2), with
// c = cos(theta u), p = sin(theta u)/z, q = z sin(theta u) and theta = t_k pi/2.
// The value rounds c, p and q to single precision; everything else is double. The
// complex arithmetic is written out so that its order and its treatment of infinities
// are fixed here, not by a library's complex type.
// Data: empr06(k) = t_k, k = 1..11.
#include <cmath>

#include "core/rules.hpp"
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p17 {
namespace {

constexpr int kM = 11;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kT[kM] = {0.5, 0.6, 0.7, 0.77, 0.9, 1.0, 1.1, 1.23, 1.3, 1.4, 1.5};

bool in_range(int k) { return k >= 1 && k <= kM; }

struct Cx {
  double re, im;
};

Cx add(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
Cx sub(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
Cx mul(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Cx scale(double s, Cx a) { return {s * a.re, s * a.im}; }
// (i s) a
Cx iscale(double s, Cx a) { return {-(s * a.im), s * a.re}; }

// Smith's quotient; the first branch also takes the unordered comparison (NaN parts).
Cx divide(Cx n, Cx d) {
  if (!(std::fabs(d.re) < std::fabs(d.im))) {
    const double r = d.im / d.re;
    const double w = d.re + r * d.im;
    return {(n.re + r * n.im) / w, (n.im - r * n.re) / w};
  }
  const double r = d.re / d.im;
  const double w = d.im + r * d.re;
  return {(r * n.re + n.im) / w, (r * n.im - n.re) / w};
}

double rounded(double v) { return static_cast<double>(static_cast<float>(v)); }

// [[alpha, i beta], [i gamma, delta]] applied to (a, b); every section matrix and each
// of its derivatives has this shape.
struct Mat {
  double alpha, beta, gamma, delta;
};

void apply(const Mat& m, Cx a, Cx b, Cx& a_out, Cx& b_out) {
  a_out = add(scale(m.alpha, a), iscale(m.beta, b));
  b_out = add(iscale(m.gamma, a), scale(m.delta, b));
}

struct Section {
  int iu, iz;     // 0-based indices of u and z in x
  double u, z;    // the variables
  double sn, cs;  // sin and cos of theta u, unrounded
  Mat m;          // the section with its rounded factors
};

// The chain as the value builds it: a[j], b[j] are the pair after section j (j = 0 is the
// start), and w = 1 + Q with |w| = f.
struct Chain {
  double theta;
  Section sec[3];
  Cx a[4], b[4];
  Cx d, w;
  double f;
};

Chain build(int k, const double* x, const double* data) {
  Chain ch{};
  ch.theta = data[k - 1] * kHalfPi;
  ch.a[0] = {1, 0};
  ch.b[0] = {10, 0};
  constexpr int kU[3] = {4, 2, 0};
  for (int j = 0; j < 3; ++j) {
    Section& s = ch.sec[j];
    s.iu = kU[j];
    s.iz = kU[j] + 1;
    s.u = x[s.iu];
    s.z = x[s.iz];
    const double phi = ch.theta * s.u;
    s.cs = std::cos(phi);
    s.sn = std::sin(phi);
    const double c = rounded(s.cs);
    const double p = rounded(s.sn / s.z);
    const double q = rounded(s.z * s.sn);
    s.m = {c, p, q, c};
    apply(s.m, ch.a[j], ch.b[j], ch.a[j + 1], ch.b[j + 1]);
  }
  const Cx a = ch.a[3];
  const Cx n = {-2 * a.re, -2 * a.im};
  ch.d = add(a, ch.b[3]);
  const Cx q = divide(n, ch.d);
  ch.w = {1 + q.re, q.im};
  ch.f = std::hypot(ch.w.re, ch.w.im);
  return ch;
}

// dw/dx(i) for i = 0..5 by the determinant forms, which take c^2 + p q = 1 for every
// section; the u-forms divide by sin(theta u), so u with a zero sine gives NaN.
void first_derivatives(const Chain& ch, Cx dw[6]) {
  const Cx d2 = mul(ch.d, ch.d);
  for (int j = 0; j < 3; ++j) {
    const Section& s = ch.sec[j];
    const Cx a0 = ch.a[j], b0 = ch.b[j], a1 = ch.a[j + 1], b1 = ch.b[j + 1];
    dw[s.iz] = divide(scale(2, sub(mul(a1, b1), mul(a0, b0))), scale(s.z, d2));
    dw[s.iu] = divide(scale(2 * ch.theta, sub(mul(b1, a0), mul(a1, b0))), scale(s.sn, d2));
  }
}

// d|w|/dx for a given dw/dx.
double modulus_slope(const Chain& ch, Cx dw) { return (ch.w.re * dw.re + ch.w.im * dw.im) / ch.f; }

int tri(int i, int j) { return i * (i + 1) / 2 + j; }  // 0-based, j <= i

// First and second derivatives of the pair (a, b) after the whole chain, by forward
// differentiation through the section products.
struct Jet {
  Cx a, b;
  Cx da[6], db[6];
  Cx dda[21], ddb[21];
};

Jet propagate(const Chain& ch) {
  Jet jet{};
  jet.a = ch.a[0];
  jet.b = ch.b[0];
  const double th = ch.theta;
  for (int j = 0; j < 3; ++j) {
    const Section& s = ch.sec[j];
    const double z = s.z, sn = s.sn, cs = s.cs;
    // The u-derivatives divide by sin(theta u) as the gradient's forms do: sn/sn is 1,
    // or NaN at a zero sine, which then fills every slot that involves u.
    const double tu = th * (sn / sn);
    const Mat mu = {-tu * sn, tu * cs / z, tu * z * cs, -tu * sn};
    const Mat mz = {0, -sn / (z * z), sn, 0};
    const Mat muu = {-tu * tu * cs, -tu * tu * sn / z, -tu * tu * z * sn, -tu * tu * cs};
    const Mat muz = {0, -tu * cs / (z * z), tu * cs, 0};
    const Mat mzz = {0, 2 * sn / (z * z * z), 0, 0};
    const auto first = [&](int v) -> const Mat* {
      return v == s.iu ? &mu : v == s.iz ? &mz : nullptr;
    };
    const auto second = [&](int v, int w) -> const Mat& {
      if (v == s.iu && w == s.iu) return muu;
      if (v == s.iz && w == s.iz) return mzz;
      return muz;
    };
    Jet next{};
    apply(s.m, jet.a, jet.b, next.a, next.b);
    for (int v = 0; v < 6; ++v) {
      apply(s.m, jet.da[v], jet.db[v], next.da[v], next.db[v]);
      if (const Mat* m = first(v)) {
        Cx ta, tb;
        apply(*m, jet.a, jet.b, ta, tb);
        next.da[v] = add(next.da[v], ta);
        next.db[v] = add(next.db[v], tb);
      }
    }
    for (int v = 0; v < 6; ++v) {
      for (int w = 0; w <= v; ++w) {
        const int at = tri(v, w);
        Cx sa, sb;
        apply(s.m, jet.dda[at], jet.ddb[at], sa, sb);
        Cx ta, tb;
        const Mat* mv = first(v);
        const Mat* mw = first(w);
        if (mv) {
          apply(*mv, jet.da[w], jet.db[w], ta, tb);
          sa = add(sa, ta);
          sb = add(sb, tb);
        }
        if (mw) {
          apply(*mw, jet.da[v], jet.db[v], ta, tb);
          sa = add(sa, ta);
          sb = add(sb, tb);
        }
        if (mv && mw) {
          apply(second(v, w), jet.a, jet.b, ta, tb);
          sa = add(sa, ta);
          sb = add(sb, tb);
        }
        next.dda[at] = sa;
        next.ddb[at] = sb;
      }
    }
    jet = next;
  }
  return jet;
}

}  // namespace

void setup(int /*n*/, double* x, double* data) {
  constexpr double kStart[6] = {0.8, 1.5, 1.2, 3, 0.8, 6};
  for (int i = 0; i < 6; ++i) x[i] = kStart[i];
  for (int k = 0; k < kM; ++k) data[k] = kT[k];
}

void value(int /*n*/, int k, const double* x, double* fk, const double* data) {
  if (!in_range(k)) return;
  *fk = build(k, x, data).f;
}

void gradient(int /*n*/, int k, const double* x, double* gk, const double* data) {
  if (!in_range(k)) return;
  const Chain ch = build(k, x, data);
  Cx dw[6];
  first_derivatives(ch, dw);
  for (int i = 0; i < 6; ++i) gk[i] = modulus_slope(ch, dw[i]);
}

// f_ij = (Re(conj(w_i) w_j) + Re(conj(w) w_ij) - f_i f_j)/|w|, with
// w_i = -2(a_i b - a b_i)/D^2 and
// w_ij = -2((a_ij b - a b_ij) + (a_i b_j - a_j b_i))/D^2 - 2 w_i D_j/D.
// The w_i come from the same jet as w_ij, not from the gradient's determinant forms:
// the two terms of w_ij can nearly cancel, and w_i off by the rounding of c, p and q
// then leaves errors far above that rounding (whole units where a sine is tiny).
void hessian(int /*n*/, int k, const double* x, double* hk, const double* data) {
  if (!in_range(k)) return;
  const Chain ch = build(k, x, data);
  const Jet jet = propagate(ch);
  const Cx d2 = mul(ch.d, ch.d);
  Cx dw[6];
  double g[6];
  for (int i = 0; i < 6; ++i) {
    dw[i] = divide(scale(-2, sub(mul(jet.da[i], jet.b), mul(jet.a, jet.db[i]))), d2);
    g[i] = modulus_slope(ch, dw[i]);
  }
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j <= i; ++j) {
      const int at = tri(i, j);
      const Cx cross = add(sub(mul(jet.dda[at], jet.b), mul(jet.a, jet.ddb[at])),
                           sub(mul(jet.da[i], jet.db[j]), mul(jet.da[j], jet.db[i])));
      const Cx dj = add(jet.da[j], jet.db[j]);
      const Cx wij = sub(divide(scale(-2, cross), d2), divide(scale(2, mul(dw[i], dj)), ch.d));
      const double re_wiwj = dw[i].re * dw[j].re + dw[i].im * dw[j].im;
      const double re_wwij = ch.w.re * wij.re + ch.w.im * wij.im;
      hk[detail::packed(i + 1, j + 1)] = (re_wiwj + re_wwij - g[i] * g[j]) / ch.f;
    }
  }
}

}  // namespace kinkbench::minimax::p17
