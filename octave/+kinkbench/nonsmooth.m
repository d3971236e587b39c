function p = nonsmooth(number, n)
%NONSMOOTH  Set up a problem of the nonsmooth collection.
%   p = kinkbench.nonsmooth(number) sets up nonsmooth problem NUMBER (1..25) at
%   its smallest n, and kinkbench.nonsmooth(number, n) for n variables ([] takes
%   the default). Problems 16 and 21 take one n only: 10 and 48.
%
%   The problem is one objective f of a point x with n components, with kinks.
%   p is a kinkbench.NonsmoothProblem handle with the properties
%     number, n, min_n, max_n ([] when there is no limit), m (1: one
%     objective), fmin, stepmax, x0, form ('f'), summary,
%     fstar, xstar, status   (the best-known optimum: [] and '' when none is
%                             stored for this n; stored at the smallest n)
%   and the methods, where x is an n-by-1 point or n-by-N, one point per column:
%     p.value(x)       f(x); 1-by-N for N points
%     p.objective(x)   the same as p.value(x), so that code can treat both
%                      collections alike
%     p.gradient(x)    gradient (at a kink, of the piece the tie rules choose),
%                      n-by-1; n-by-N
%     p.hessian(x)     Hessian, dense symmetric n-by-n; n-by-n-by-N
%     p.active(x, eps)        the pieces within eps (default 0) of their group's
%                             maximum: struct of names, groups, values, active
%     p.stationarity(x, eps)  least-norm element of the eps-subdifferential:
%                             struct of norm, gap, element, multipliers, ...
%
%   Every number is the C++ library's, bit for bit. Bad arguments raise errors
%   with identifiers kinkbench:badProblem, kinkbench:badDimension,
%   kinkbench:badType, kinkbench:badSize and kinkbench:badArgument.
%
%   Example:
%     p = kinkbench.nonsmooth(11);
%     f = p.value(p.x0), g = p.gradient(p.x0)
%
%   See also kinkbench.minimax, kinkbench.problems.
if nargin < 1
  error('kinkbench:badArgument', ...
        'kinkbench.nonsmooth needs a problem number: kinkbench.nonsmooth(number, n)');
end
if nargin < 2
  n = [];
end
p = kinkbench.NonsmoothProblem(kinkbench_mex('create', 'nonsmooth', number, n));
end
