// PLACEHOLDER: nonsmooth problem 06 is not built yet; replace this whole file.
#include "test19/problems.hpp"

namespace kinkbench::nonsmooth::p06 {

void setup(int /*n*/, double* /*x*/, double* /*data*/) {}
void value(int /*n*/, const double* /*x*/, double* /*f*/, const double* /*data*/) {}
void gradient(int /*n*/, const double* /*x*/, double* /*g*/, const double* /*data*/) {}
void hessian(int /*n*/, const double* /*x*/, double* /*h*/, const double* /*data*/) {}

}  // namespace kinkbench::nonsmooth::p06
