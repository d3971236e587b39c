/* The floor of the per-call benchmark: a MEX function that checks nothing and returns one
   number, so that what remains of a kinkbench call's time is the binding's own. */
#include <mex.h>

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  (void)nrhs;
  (void)prhs;
  if (nlhs > 0) plhs[0] = mxCreateDoubleScalar(0.0);
}
