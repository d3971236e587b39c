// PLACEHOLDER: minimax problem 02 is not built yet; replace this whole file.
#include "minimax/problems.hpp"

namespace kinkbench::minimax::p02 {

void setup(int /*n*/, double* /*x*/, double* /*data*/) {}
void value(int /*n*/, int /*k*/, const double* /*x*/, double* /*fk*/, const double* /*data*/) {}
void gradient(int /*n*/, int /*k*/, const double* /*x*/, double* /*gk*/, const double* /*data*/) {}
void hessian(int /*n*/, int /*k*/, const double* /*x*/, double* /*hk*/, const double* /*data*/) {}

}  // namespace kinkbench::minimax::p02
