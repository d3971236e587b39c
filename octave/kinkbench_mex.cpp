// The compiled half of the Octave and MATLAB package: one MEX function over the C++ problem
// objects. Every number comes from a C++ call; this file checks arguments, lays results out
// as column-major arrays and turns refusals into errors with identifiers.
//
//   kinkbench_mex('create', COLLECTION, NUMBER, N, CAPACITY)  -> struct of the problem's facts
//   kinkbench_mex(OPERATION, KEY, X, ...)                     -> results at the points X
//   kinkbench_mex('problems')                                 -> struct array, both tables
//
// KEY is the 'key' field of the create struct. Each call sets its problem up afresh from
// the key: a set-up costs well under a microsecond for most problems (nonsmooth 16, the
// slowest, some 7 us), next to some 13 us per method call from the interpreter, and it
// leaves the MEX function without state, so that neither `clear mex` nor a copied handle
// can outlive or share a problem.
//
// Only the MEX API (mex.h) is used, so the file builds with Octave's mkoctfile --mex and
// with MATLAB's mex. Errors are raised through the interpreter's own error(), whose
// message comes out the same in both, and only from mexFunction's top level once every C++
// object is gone, since MATLAB may leave a MEX function without unwinding its stack.
#include <mex.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <span>

#include "kinkbench/minimax.hpp"
#include "kinkbench/nonsmooth.hpp"
#include "kinkbench/pieces.hpp"

namespace {

using kinkbench::MinimaxProblem;
using kinkbench::NonsmoothProblem;

constexpr int kProblemCount = 25;

// A refusal, thrown by the checks and caught in mexFunction, which raises it as an error.
struct Refusal {
  const char* id;
  char message[512];
};

#if defined(__GNUC__)
#define KINKBENCH_PRINTF_LIKE __attribute__((format(printf, 2, 3)))
#else
#define KINKBENCH_PRINTF_LIKE
#endif

[[noreturn]] KINKBENCH_PRINTF_LIKE void refuse(const char* id, const char* format, ...) {
  Refusal refusal{id, {}};
  va_list args;
  va_start(args, format);
  std::vsnprintf(refusal.message, sizeof refusal.message, format, args);
  va_end(args);
  throw refusal;
}

// A number as MATLAB would show it in a message: NaN, Inf, -Inf, or the shortest %g that
// reads back (whole numbers without an exponent up to 2^53).
struct Shown {
  char text[40];
};
Shown show(double v) {
  Shown s{};
  if (std::isnan(v)) {
    std::snprintf(s.text, sizeof s.text, "NaN");
  } else if (std::isinf(v)) {
    std::snprintf(s.text, sizeof s.text, v > 0 ? "Inf" : "-Inf");
  } else {
    for (int digits = 1; digits <= 17; ++digits) {
      std::snprintf(s.text, sizeof s.text, "%.*g", digits, v);
      if (std::strtod(s.text, nullptr) == v) break;
    }
  }
  return s;
}

// "3-by-1", "0-by-0", "2-by-3-by-4".
struct Dims {
  char text[96];
};
Dims dims_of(const mxArray* a) {
  Dims d{};
  const mwSize count = mxGetNumberOfDimensions(a);
  const mwSize* dims = mxGetDimensions(a);
  std::size_t at = 0;
  for (mwSize i = 0; i < count && at < sizeof d.text; ++i) {
    const int wrote = std::snprintf(d.text + at, sizeof d.text - at, i == 0 ? "%lld" : "-by-%lld",
                                    static_cast<long long>(dims[i]));
    if (wrote < 0) break;
    at += static_cast<std::size_t>(wrote);
  }
  return d;
}

// The class of a wrong argument, spelled as class() spells it, with "complex"/"sparse".
struct Kind {
  char text[64];
};
Kind kind_of(const mxArray* a) {
  Kind k{};
  std::snprintf(k.text, sizeof k.text, "%s%s%s", mxIsSparse(a) ? "sparse " : "",
                mxIsComplex(a) ? "complex " : "", mxGetClassName(a));
  return k;
}

// The one element of a real numeric array, as a double.
double scalar_value(const mxArray* a) {
  const void* data = mxGetData(a);
  switch (mxGetClassID(a)) {
    case mxDOUBLE_CLASS:
      return *static_cast<const double*>(data);
    case mxSINGLE_CLASS:
      return *static_cast<const float*>(data);
    case mxINT8_CLASS:
      return *static_cast<const std::int8_t*>(data);
    case mxUINT8_CLASS:
      return *static_cast<const std::uint8_t*>(data);
    case mxINT16_CLASS:
      return *static_cast<const std::int16_t*>(data);
    case mxUINT16_CLASS:
      return *static_cast<const std::uint16_t*>(data);
    case mxINT32_CLASS:
      return *static_cast<const std::int32_t*>(data);
    case mxUINT32_CLASS:
      return *static_cast<const std::uint32_t*>(data);
    case mxINT64_CLASS:
      return static_cast<double>(*static_cast<const std::int64_t*>(data));
    case mxUINT64_CLASS:
      return static_cast<double>(*static_cast<const std::uint64_t*>(data));
    default:
      return NAN;
  }
}

// A scalar that must hold a whole number. Any real numeric class will do (7, int32(7),
// single(7)); logical, char, complex and non-scalars are refused, and so are NaN, Inf and
// fractions, with `id` naming what the number selects.
long long whole_number(const mxArray* a, const char* name, const char* id) {
  if (!mxIsNumeric(a) || mxIsComplex(a) || mxIsSparse(a)) {
    refuse("kinkbench:badType", "%s must be a real whole number, got a %s", name, kind_of(a).text);
  }
  if (mxGetNumberOfElements(a) != 1) {
    refuse("kinkbench:badSize", "%s must be one number, got a %s array", name, dims_of(a).text);
  }
  const double v = scalar_value(a);
  if (!(std::fabs(v) < 9.2e18) || v != std::trunc(v)) {
    refuse(id, "%s must be a whole number, got %s", name, show(v).text);
  }
  return static_cast<long long>(v);
}

// n and capacity: [] (or absent) takes the default.
long long size_argument(const mxArray* a, const char* name, const char* id, int fallback) {
  if (a == nullptr || (mxIsDouble(a) && mxIsEmpty(a))) return fallback;
  return whole_number(a, name, id);
}

constexpr long long kIntMax = 2147483647LL;

enum class Collection { minimax, nonsmooth };

const char* name_of(Collection c) { return c == Collection::minimax ? "minimax" : "nonsmooth"; }

int problem_number(const mxArray* a, Collection c) {
  const long long number = whole_number(a, "the problem number", "kinkbench:badProblem");
  if (number < 1 || number > kProblemCount) {
    refuse("kinkbench:badProblem",
           "%s problems are numbered 1..%d, got %lld; kinkbench.problems lists them", name_of(c),
           kProblemCount, number);
  }
  return static_cast<int>(number);
}

// What a handle carries: enough to set its problem up again, bit for bit.
struct Key {
  Collection collection = Collection::minimax;
  int number = 1;
  int n = 0;
  int capacity = 0;
  int m = 1;  // minimax: partial functions; nonsmooth: 1
};

constexpr std::size_t kKeySize = 5;

Key read_key(const mxArray* a) {
  if (!mxIsDouble(a) || mxIsComplex(a) || mxIsSparse(a) || mxGetNumberOfElements(a) != kKeySize) {
    refuse("kinkbench:badArgument",
           "the problem key must be the 'key' field that kinkbench_mex('create', ...) returns; "
           "create problems with kinkbench.minimax or kinkbench.nonsmooth");
  }
  const double* v = static_cast<const double*>(mxGetData(a));
  for (std::size_t i = 0; i < kKeySize; ++i) {
    if (!(std::fabs(v[i]) < 2147483647.0) || v[i] != std::trunc(v[i])) {
      refuse("kinkbench:badArgument",
             "the problem key holds %s, not a whole number; create problems with kinkbench.minimax "
             "or kinkbench.nonsmooth",
             show(v[i]).text);
    }
  }
  Key key;
  key.collection = v[0] == 1 ? Collection::minimax : Collection::nonsmooth;
  key.number = static_cast<int>(v[1]);
  key.n = static_cast<int>(v[2]);
  key.capacity = static_cast<int>(v[3]);
  key.m = static_cast<int>(v[4]);
  if ((v[0] != 1 && v[0] != 2) || key.number < 1 || key.number > kProblemCount) {
    refuse("kinkbench:badArgument",
           "the problem key names no problem; create problems with kinkbench.minimax or "
           "kinkbench.nonsmooth");
  }
  return key;
}

// One of the two problem objects, set up from a key. Created only after every output array
// is allocated, so that no error leaves one behind.
struct Problem {
  std::optional<MinimaxProblem> minimax;
  std::optional<NonsmoothProblem> nonsmooth;
};

Problem set_up(const Key& key) {
  Problem p;
  if (key.collection == Collection::minimax) {
    auto created = MinimaxProblem::create(key.number, key.n, key.capacity);
    if (!created) refuse("kinkbench:badArgument", "%s", created.error().message.c_str());
    if (created->m() != key.m) {
      refuse("kinkbench:badArgument", "the problem key does not match minimax problem %d",
             key.number);
    }
    p.minimax.emplace(std::move(created).value());
  } else {
    auto created = NonsmoothProblem::create(key.number, key.n);
    if (!created) refuse("kinkbench:badArgument", "%s", created.error().message.c_str());
    p.nonsmooth.emplace(std::move(created).value());
  }
  return p;
}

// The points of a call: one column of n doubles, or n-by-N, one point per column.
struct Points {
  const double* data = nullptr;
  std::size_t count = 0;
  std::size_t n = 0;

  std::span<const double> at(std::size_t i) const { return {data + i * n, n}; }
};

Points points_of(const mxArray* x, const Key& key) {
  const char* collection = name_of(key.collection);
  if (!mxIsDouble(x) || mxIsComplex(x) || mxIsSparse(x)) {
    if (mxIsDouble(x) && mxIsComplex(x)) {
      refuse("kinkbench:badType",
             "x must be real, got a %s matrix; pass real(x) if the imaginary part is meant to be "
             "dropped",
             kind_of(x).text);
    }
    if (mxIsSparse(x)) {
      refuse("kinkbench:badType", "x must be a full double matrix, got a %s matrix; pass full(x)",
             kind_of(x).text);
    }
    refuse("kinkbench:badType", "x must be a double matrix, got %s%s", kind_of(x).text,
           mxIsNumeric(x) || mxIsLogical(x) || mxIsChar(x) ? "; convert it with double(x)" : "");
  }
  const std::size_t rows = mxGetM(x);
  const auto n = static_cast<std::size_t>(key.n);
  if (mxGetNumberOfDimensions(x) != 2 || rows != n) {
    const bool row_vector = mxGetNumberOfDimensions(x) == 2 && rows == 1 && mxGetN(x) == n;
    refuse("kinkbench:badSize",
           "%s problem %d is set up for n = %d: x must be %d-by-1, or %d-by-N for N points as "
           "columns; got %s%s",
           collection, key.number, key.n, key.n, key.n, dims_of(x).text,
           row_vector ? "; pass x(:) for one point" : "");
  }
  Points points;
  points.data = static_cast<const double*>(mxGetData(x));
  points.count = mxGetN(x);
  points.n = n;
  return points;
}

// The tolerance of active and stationarity: a real number >= 0 (Inf allowed).
double eps_of(const mxArray* a) {
  if (!mxIsDouble(a) || mxIsComplex(a) || mxIsSparse(a)) {
    refuse("kinkbench:badType", "eps must be a real double, got %s", kind_of(a).text);
  }
  if (mxGetNumberOfElements(a) != 1) {
    refuse("kinkbench:badSize", "eps must be one number, got a %s array", dims_of(a).text);
  }
  const double eps = *static_cast<const double*>(mxGetData(a));
  if (!(eps >= 0)) {
    refuse("kinkbench:badTolerance", "eps must be a number >= 0, got %s", show(eps).text);
  }
  return eps;
}

// k for the single-f_k minimax calls.
int k_of(const mxArray* a, const Key& key) {
  const long long k = whole_number(a, "k", "kinkbench:badIndex");
  if (k < 1 || k > key.m) {
    refuse("kinkbench:badIndex",
           "k = %lld is outside 1..%d: minimax problem %d has m = %d partial functions", k, key.m,
           key.number, key.m);
  }
  return static_cast<int>(k);
}

mxArray* matrix(std::size_t rows, std::size_t cols) {
  return mxCreateDoubleMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols), mxREAL);
}

mxArray* array3(std::size_t a, std::size_t b, std::size_t c) {
  const mwSize dims[3] = {static_cast<mwSize>(a), static_cast<mwSize>(b), static_cast<mwSize>(c)};
  return mxCreateNumericArray(3, dims, mxDOUBLE_CLASS, mxREAL);
}

double* doubles(mxArray* a) { return static_cast<double*>(mxGetData(a)); }

// Scratch that the MEX runtime frees on any way out, errors included.
double* scratch(std::size_t count) {
  return static_cast<double*>(mxCalloc(count == 0 ? 1 : count, sizeof(double)));
}

std::size_t packed_length(std::size_t n) { return n * (n + 1) / 2; }

// Dense symmetric copy of a packed lower triangle (rows); no arithmetic on the entries.
void unpack(const double* packed, std::size_t n, double* dense) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j, ++at) {
      dense[i * n + j] = packed[at];
      dense[j * n + i] = packed[at];
    }
  }
}

// ------------------------------------------------------------------------- operations

// One evaluation request, checked: the key, the points, k where the operation takes one.
struct Call {
  Key key;
  Points x;
  int k = 0;
  double eps = 0.0;
  int nlhs = 0;
  mxArray** plhs = nullptr;
};

using Handler = void (*)(const Call&);

void op_value(const Call& c) {
  mxArray* out = matrix(1, c.x.count);
  double* f = doubles(out);
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    if (p.minimax) {
      p.minimax->value(c.k, c.x.at(i), f[i]);
    } else {
      p.nonsmooth->value(c.x.at(i), f[i]);
    }
  }
  c.plhs[0] = out;
}

void op_gradient(const Call& c) {
  mxArray* out = matrix(c.x.n, c.x.count);
  double* g = doubles(out);
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    const std::span<double> gi(g + i * c.x.n, c.x.n);
    if (p.minimax) {
      p.minimax->gradient(c.k, c.x.at(i), gi);
    } else {
      p.nonsmooth->gradient(c.x.at(i), gi);
    }
  }
  c.plhs[0] = out;
}

void op_hessian(const Call& c) {
  const std::size_t n = c.x.n, nn = packed_length(n);
  mxArray* out = array3(n, n, c.x.count);
  double* h = doubles(out);
  double* triangle = scratch(nn);
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    std::fill_n(triangle, nn, 0.0);  // the minimax routines write only what they define
    if (p.minimax) {
      p.minimax->hessian(c.k, c.x.at(i), {triangle, nn});
    } else {
      p.nonsmooth->hessian(c.x.at(i), {triangle, nn});
    }
    unpack(triangle, n, h + i * n * n);
  }
  c.plhs[0] = out;
}

void op_values(const Call& c) {
  const auto m = static_cast<std::size_t>(c.key.m);
  mxArray* out = matrix(m, c.x.count);
  double* v = doubles(out);
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) p.minimax->values(c.x.at(i), {v + i * m, m});
  c.plhs[0] = out;
}

// m-by-n per point, row k the gradient of f_k: the C++ rows, transposed into columns.
void op_jacobian(const Call& c) {
  const std::size_t n = c.x.n, m = static_cast<std::size_t>(c.key.m);
  mxArray* out = array3(m, n, c.x.count);
  double* jac = doubles(out);
  double* rows = scratch(m * n);
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    p.minimax->jacobian(c.x.at(i), {rows, m * n});
    double* ji = jac + i * m * n;
    for (std::size_t k = 0; k < m; ++k) {
      for (std::size_t j = 0; j < n; ++j) ji[j * m + k] = rows[k * n + j];
    }
  }
  c.plhs[0] = out;
}

// [value, k]: minimax objective (max f_k or max |f_k|) or largest (max f_k); nonsmooth f.
template <bool kLargest>
void op_best(const Call& c) {
  mxArray* out = matrix(1, c.x.count);
  mxArray* ks = c.nlhs > 1 ? matrix(1, c.x.count) : nullptr;
  double* v = doubles(out);
  double* k = ks ? doubles(ks) : nullptr;
  const Problem p = set_up(c.key);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    if (p.minimax) {
      const auto found = kLargest ? p.minimax->largest(c.x.at(i)) : p.minimax->objective(c.x.at(i));
      v[i] = found.value;
      if (k) k[i] = found.k;
    } else {
      p.nonsmooth->value(c.x.at(i), v[i]);
    }
  }
  c.plhs[0] = out;
  if (ks) c.plhs[1] = ks;
}

// What an operation takes after the point x. A new kind (a tolerance, say) is a value
// here and its check in evaluate().
enum class Extra {
  none,
  k,    // minimax only: the operation is about one f_k; nonsmooth problems take nothing
  eps,  // an optional tolerance >= 0, by default 0
};

mxArray* logicals(std::size_t rows, std::size_t cols) {
  return mxCreateLogicalMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols));
}

// The pieces' names and groups, which do not depend on x.
void put_names(mxArray* s, const kinkbench::Pieces& pieces) {
  const auto count = static_cast<std::size_t>(pieces.piece_count());
  mxArray* names = mxCreateCellMatrix(static_cast<mwSize>(count), 1);
  mxArray* groups = matrix(count, 1);
  for (std::size_t i = 0; i < count; ++i) {
    const int piece = static_cast<int>(i);
    mxSetCell(names, static_cast<mwIndex>(i), mxCreateString(pieces.name(piece).c_str()));
    doubles(groups)[i] = pieces.group_of(piece);
  }
  mxSetField(s, 0, "names", names);
  mxSetField(s, 0, "groups", groups);
}

// A struct: names and groups (P-by-1), values (P-by-N) and active (P-by-N logical), the
// pieces within eps of their group's maximum at each point.
void op_active(const Call& c) {
  const Problem p = set_up(c.key);
  const kinkbench::Pieces pieces =
      p.minimax ? kinkbench::Pieces(*p.minimax) : kinkbench::Pieces(*p.nonsmooth);
  kinkbench::PieceWorkspace ws(pieces);
  const auto count = static_cast<std::size_t>(pieces.piece_count());
  const char* fields[] = {"names", "groups", "values", "active"};
  mxArray* s = mxCreateStructMatrix(1, 1, 4, fields);
  put_names(s, pieces);
  mxArray* values = matrix(count, c.x.count);
  mxArray* active = logicals(count, c.x.count);
  mxLogical* on = mxGetLogicals(active);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    pieces.active(c.x.at(i), c.eps, ws);
    for (std::size_t j = 0; j < count; ++j) {
      doubles(values)[i * count + j] = ws.values()[j];
      on[i * count + j] = ws.is_active(static_cast<int>(j));
    }
  }
  mxSetField(s, 0, "values", values);
  mxSetField(s, 0, "active", active);
  c.plhs[0] = s;
}

// A struct: norm, gap, iterations, converged (1-by-N), multipliers and active (P-by-N),
// element (n-by-N), names and groups (P-by-1).
void op_stationarity(const Call& c) {
  const Problem p = set_up(c.key);
  const kinkbench::Pieces pieces =
      p.minimax ? kinkbench::Pieces(*p.minimax) : kinkbench::Pieces(*p.nonsmooth);
  kinkbench::PieceWorkspace ws(pieces);
  const auto count = static_cast<std::size_t>(pieces.piece_count());
  const char* fields[] = {"norm",    "gap",    "iterations", "converged", "multipliers",
                          "element", "active", "names",      "groups"};
  mxArray* s = mxCreateStructMatrix(1, 1, 9, fields);
  put_names(s, pieces);
  mxArray* norm = matrix(1, c.x.count);
  mxArray* gap = matrix(1, c.x.count);
  mxArray* iterations = matrix(1, c.x.count);
  mxArray* converged = logicals(1, c.x.count);
  mxArray* multipliers = matrix(count, c.x.count);
  mxArray* element = matrix(c.x.n, c.x.count);
  mxArray* active = logicals(count, c.x.count);
  for (std::size_t i = 0; i < c.x.count; ++i) {
    const auto found =
        pieces.stationarity(c.x.at(i), c.eps, ws, {doubles(multipliers) + i * count, count},
                            {doubles(element) + i * c.x.n, c.x.n});
    doubles(norm)[i] = found.norm;
    doubles(gap)[i] = found.gap;
    doubles(iterations)[i] = found.iterations;
    mxGetLogicals(converged)[i] = found.converged;
    for (std::size_t j = 0; j < count; ++j) {
      mxGetLogicals(active)[i * count + j] = ws.is_active(static_cast<int>(j));
    }
  }
  mxSetField(s, 0, "norm", norm);
  mxSetField(s, 0, "gap", gap);
  mxSetField(s, 0, "iterations", iterations);
  mxSetField(s, 0, "converged", converged);
  mxSetField(s, 0, "multipliers", multipliers);
  mxSetField(s, 0, "element", element);
  mxSetField(s, 0, "active", active);
  c.plhs[0] = s;
}

struct Operation {
  const char* name;
  Handler handler;
  bool nonsmooth;  // offered for the nonsmooth collection too
  Extra extra;
  int minimax_outputs;
  int nonsmooth_outputs;
};

// A new evaluation is a handler and one row here, and a method in each class.
constexpr Operation kOperations[] = {
    {"value", op_value, true, Extra::k, 1, 1},
    {"gradient", op_gradient, true, Extra::k, 1, 1},
    {"hessian", op_hessian, true, Extra::k, 1, 1},
    {"values", op_values, false, Extra::none, 1, 0},
    {"jacobian", op_jacobian, false, Extra::none, 1, 0},
    {"objective", op_best<false>, true, Extra::none, 2, 1},
    {"largest", op_best<true>, false, Extra::none, 2, 0},
    {"active", op_active, true, Extra::eps, 1, 1},
    {"stationarity", op_stationarity, true, Extra::eps, 1, 1},
};

const Operation* find_operation(const char* name) {
  for (const Operation& op : kOperations) {
    if (std::strcmp(op.name, name) == 0) return &op;
  }
  return nullptr;
}

void evaluate(const Operation& op, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 2) refuse("kinkbench:badArgument", "%s needs a problem", op.name);
  Call c;
  c.key = read_key(prhs[1]);
  c.nlhs = nlhs;
  c.plhs = plhs;
  const bool minimax = c.key.collection == Collection::minimax;
  const char* collection = name_of(c.key.collection);
  if (!minimax && !op.nonsmooth) {
    refuse("kinkbench:badArgument",
           "%s is for minimax problems; nonsmooth problem %d has one objective f: use value",
           op.name, c.key.number);
  }
  const bool takes_k = minimax && op.extra == Extra::k;
  const int inputs = takes_k ? 2 : 1;
  if (op.extra == Extra::eps && (nrhs == 3 || nrhs == 4)) {
    // p.active(x) or p.active(x, eps)
  } else if (op.extra == Extra::eps) {
    refuse("kinkbench:badArgument", "%s takes a point x and a tolerance: p.%s(x, eps), eps >= 0",
           op.name, op.name);
  } else if (nrhs - 2 != inputs) {
    if (takes_k) {
      refuse("kinkbench:badArgument", "%s takes a point x and k: p.%s(x, k) with k in 1..%d",
             op.name, op.name, c.key.m);
    }
    refuse("kinkbench:badArgument", "%s takes one argument, the point x: p.%s(x)%s", op.name,
           op.name, !minimax && op.extra == Extra::k ? " (nonsmooth problems take no k)" : "");
  }
  const int max_outputs = minimax ? op.minimax_outputs : op.nonsmooth_outputs;
  if (nlhs > max_outputs) {
    refuse("kinkbench:badArgument", "%s gives %d output%s for a %s problem, %d requested", op.name,
           max_outputs, max_outputs == 1 ? "" : "s", collection, nlhs);
  }
  c.x = points_of(prhs[2], c.key);
  if (takes_k) c.k = k_of(prhs[3], c.key);
  if (op.extra == Extra::eps && nrhs == 4) c.eps = eps_of(prhs[3]);
  op.handler(c);
}

// ------------------------------------------------------------------ facts and tables

mxArray* column(std::span<const double> values) {
  mxArray* out = matrix(values.size(), 1);
  std::copy(values.begin(), values.end(), doubles(out));
  return out;
}

mxArray* scalar(double v) { return mxCreateDoubleScalar(v); }

const char* const kFactFields[] = {"key",   "collection", "number", "n",       "min_n", "max_n",
                                   "m",     "itype",      "fmin",   "stepmax", "x0",    "form",
                                   "fstar", "xstar",      "status", "summary"};
constexpr int kFactCount = static_cast<int>(sizeof kFactFields / sizeof kFactFields[0]);

void set(mxArray* s, const char* field, mxArray* value) { mxSetField(s, 0, field, value); }

void put_best(mxArray* s, const kinkbench::BestKnown* best) {
  set(s, "fstar", best ? scalar(best->value) : matrix(0, 0));
  set(s, "xstar", best ? column(best->point) : matrix(0, 1));
  set(s, "status", mxCreateString(best ? best->status : ""));
}

// n as an int for the C++ set-up, which judges every n an int holds; beyond that, its words.
int dimension(long long n, Collection c, int number, int min_n) {
  if (n > kIntMax) {
    refuse("kinkbench:badDimension",
           "%s problem %d: n = %lld is above the largest n an object holds, %d", name_of(c), number,
           n, kinkbench::kLargestDimension);
  }
  if (n < -kIntMax) {
    refuse("kinkbench:badDimension", "%s problem %d needs n >= %d, got %lld", name_of(c), number,
           min_n, n);
  }
  return static_cast<int>(n);
}

void create(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs < 3 || nrhs > 5 || !mxIsChar(prhs[1]) || nlhs > 1) {
    refuse("kinkbench:badArgument",
           "create takes a collection, a problem number, n and a capacity; use kinkbench.minimax "
           "or kinkbench.nonsmooth");
  }
  char name[16] = {};
  mxGetString(prhs[1], name, sizeof name);
  Collection c;
  if (std::strcmp(name, "minimax") == 0) {
    c = Collection::minimax;
  } else if (std::strcmp(name, "nonsmooth") == 0) {
    c = Collection::nonsmooth;
    if (nrhs > 4) {
      refuse("kinkbench:badArgument",
             "nonsmooth problems take no capacity: kinkbench.nonsmooth(number, n)");
    }
  } else {
    refuse("kinkbench:badArgument", "the collections are minimax and nonsmooth");
  }
  const int number = problem_number(prhs[2], c);
  const mxArray* n_arg = nrhs > 3 ? prhs[3] : nullptr;
  const mxArray* capacity_arg = nrhs > 4 ? prhs[4] : nullptr;
  Key key;
  key.collection = c;
  key.number = number;
  double max_n = 0;
  if (c == Collection::minimax) {
    const auto& info = kinkbench::minimax_problems()[static_cast<std::size_t>(number - 1)];
    const long long n = size_argument(n_arg, "n", "kinkbench:badDimension", info.min_n);
    const long long capacity =
        size_argument(capacity_arg, "capacity", "kinkbench:badCapacity", info.m);
    key.n = dimension(n, c, number, info.min_n);
    if (capacity < -kIntMax) {
      refuse("kinkbench:badCapacity",
             "minimax problem %d has %d partial functions, capacity %lld is too small", number,
             info.m, capacity);
    }
    key.capacity = static_cast<int>(std::min(capacity, kIntMax));  // more is never used
  } else {
    const auto& info = kinkbench::nonsmooth_problems()[static_cast<std::size_t>(number - 1)];
    key.n = dimension(size_argument(n_arg, "n", "kinkbench:badDimension", info.min_n), c, number,
                      info.min_n);
    max_n = info.max_n;
  }

  mxArray* s = mxCreateStructMatrix(1, 1, kFactCount, const_cast<const char**>(kFactFields));
  mxArray* key_array = matrix(1, kKeySize);
  {
    // Set up once here to refuse what the C++ API refuses, in its words; the refusal is
    // copied out before the error is raised, so nothing of the attempt outlives it.
    std::optional<MinimaxProblem> mm;
    std::optional<NonsmoothProblem> ns;
    if (c == Collection::minimax) {
      auto created = MinimaxProblem::create(key.number, key.n, key.capacity);
      if (!created) {
        const bool capacity = created.error().code == kinkbench::SetupErrorCode::capacity_too_small;
        refuse(capacity ? "kinkbench:badCapacity" : "kinkbench:badDimension", "%s",
               created.error().message.c_str());
      }
      mm.emplace(std::move(created).value());
      key.m = mm->m();
    } else {
      auto created = NonsmoothProblem::create(key.number, key.n);
      if (!created) refuse("kinkbench:badDimension", "%s", created.error().message.c_str());
      ns.emplace(std::move(created).value());
      key.m = 1;
    }
    double* k = doubles(key_array);
    k[0] = c == Collection::minimax ? 1 : 2;
    k[1] = key.number;
    k[2] = key.n;
    k[3] = key.capacity;
    k[4] = key.m;
    set(s, "key", key_array);
    set(s, "collection", mxCreateString(name_of(c)));
    set(s, "number", scalar(key.number));
    set(s, "n", scalar(key.n));
    if (mm) {
      set(s, "min_n", scalar(mm->min_n()));
      set(s, "max_n", matrix(0, 0));
      set(s, "m", scalar(mm->m()));
      set(s, "itype", scalar(mm->itype()));
      set(s, "fmin", scalar(mm->fmin()));
      set(s, "stepmax", scalar(mm->stepmax()));
      set(s, "x0", column(mm->start()));
      set(s, "form", mxCreateString(mm->form()));
      put_best(s, mm->best_known());
      set(s, "summary",
          mxCreateString(
              kinkbench::minimax_problems()[static_cast<std::size_t>(number - 1)].summary));
    } else {
      set(s, "min_n", scalar(ns->min_n()));
      set(s, "max_n", max_n > 0 ? scalar(max_n) : matrix(0, 0));
      set(s, "m", scalar(1));
      set(s, "itype", matrix(0, 0));
      set(s, "fmin", scalar(ns->fmin()));
      set(s, "stepmax", scalar(ns->stepmax()));
      set(s, "x0", column(ns->start()));
      set(s, "form", mxCreateString("f"));
      put_best(s, ns->best_known());
      set(s, "summary",
          mxCreateString(
              kinkbench::nonsmooth_problems()[static_cast<std::size_t>(number - 1)].summary));
    }
  }
  plhs[0] = s;
}

// Both tables, one struct per problem, set up at its minimum n.
void problems(int nlhs, mxArray* plhs[], int nrhs) {
  if (nrhs != 1 || nlhs > 1) refuse("kinkbench:badArgument", "problems takes no arguments");
  const char* fields[] = {"collection", "number",  "min_n", "max_n",  "m",      "form",
                          "fmin",       "stepmax", "fstar", "status", "summary"};
  mxArray* s = mxCreateStructMatrix(2 * kProblemCount, 1, 11, fields);
  mwIndex at = 0;
  for (const auto& row : kinkbench::minimax_problems()) {
    const auto p = MinimaxProblem::create(row.number, row.min_n, row.m);
    mxSetField(s, at, "collection", mxCreateString("minimax"));
    mxSetField(s, at, "number", scalar(row.number));
    mxSetField(s, at, "min_n", scalar(row.min_n));
    mxSetField(s, at, "max_n", matrix(0, 0));
    mxSetField(s, at, "m", scalar(row.m));
    mxSetField(s, at, "form", mxCreateString(p ? p->form() : ""));
    mxSetField(s, at, "fmin", scalar(row.fmin));
    mxSetField(s, at, "stepmax", scalar(row.stepmax));
    const auto* best = p ? p->best_known() : nullptr;
    mxSetField(s, at, "fstar", best ? scalar(best->value) : matrix(0, 0));
    mxSetField(s, at, "status", mxCreateString(best ? best->status : ""));
    mxSetField(s, at, "summary", mxCreateString(row.summary));
    ++at;
  }
  for (const auto& row : kinkbench::nonsmooth_problems()) {
    const auto p = NonsmoothProblem::create(row.number, row.min_n);
    mxSetField(s, at, "collection", mxCreateString("nonsmooth"));
    mxSetField(s, at, "number", scalar(row.number));
    mxSetField(s, at, "min_n", scalar(row.min_n));
    mxSetField(s, at, "max_n", row.max_n > 0 ? scalar(row.max_n) : matrix(0, 0));
    mxSetField(s, at, "m", scalar(1));
    mxSetField(s, at, "form", mxCreateString("f"));
    mxSetField(s, at, "fmin", scalar(row.fmin));
    mxSetField(s, at, "stepmax", scalar(row.stepmax));
    const auto* best = p ? p->best_known() : nullptr;
    mxSetField(s, at, "fstar", best ? scalar(best->value) : matrix(0, 0));
    mxSetField(s, at, "status", mxCreateString(best ? best->status : ""));
    mxSetField(s, at, "summary", mxCreateString(row.summary));
    ++at;
  }
  plhs[0] = s;
}

void run(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  char name[32] = {};
  if (nrhs < 1 || !mxIsChar(prhs[0]) || mxGetString(prhs[0], name, sizeof name) != 0) {
    refuse("kinkbench:badArgument",
           "the first argument names an operation; use kinkbench.minimax or kinkbench.nonsmooth "
           "and the methods of what they return");
  }
  if (std::strcmp(name, "create") == 0) return create(nlhs, plhs, nrhs, prhs);
  if (std::strcmp(name, "problems") == 0) return problems(nlhs, plhs, nrhs);
  const Operation* op = find_operation(name);
  if (op == nullptr) refuse("kinkbench:badArgument", "there is no operation '%s'", name);
  evaluate(*op, nlhs, plhs, nrhs, prhs);
}

// error(id, '%s', message) in the interpreter: the same message in Octave and MATLAB.
void raise(const char* id, const char* message) {
  mxArray* args[3] = {mxCreateString(id), mxCreateString("%s"), mxCreateString(message)};
  mexCallMATLAB(0, nullptr, 3, args, "error");
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* id = nullptr;
  char message[sizeof(Refusal::message)] = {};
  try {
    run(nlhs, plhs, nrhs, prhs);
  } catch (const Refusal& refusal) {
    id = refusal.id;
    std::memcpy(message, refusal.message, sizeof message);
  } catch (const std::bad_alloc&) {
    id = "kinkbench:outOfMemory";
    std::snprintf(message, sizeof message, "out of memory; evaluate fewer points per call");
  }
  if (id != nullptr) raise(id, message);
}
