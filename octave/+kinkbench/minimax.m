function p = minimax(number, n, capacity)
%MINIMAX  Set up a problem of the minimax collection.
%   p = kinkbench.minimax(number) sets up minimax problem NUMBER (1..25) at its
%   smallest n; kinkbench.minimax(number, n) for n variables, and
%   kinkbench.minimax(number, n, capacity) for a caller that handles CAPACITY
%   partial functions (at least m, the default). [] takes a default.
%
%   The problem is a family of partial functions f_1..f_m of a point x with n
%   components. p is a kinkbench.MinimaxProblem handle with the properties
%     number, n, min_n, m, itype, fmin, stepmax, x0, form, summary,
%     fstar, xstar, status   (the best-known optimum: [] and '' when none is
%                             stored for this n; stored at the smallest n)
%   and the methods, where x is an n-by-1 point or n-by-N, one point per column:
%     p.value(x, k)      f_k(x); 1-by-N for N points
%     p.gradient(x, k)   gradient of f_k, n-by-1; n-by-N
%     p.hessian(x, k)    Hessian of f_k, dense symmetric n-by-n; n-by-n-by-N
%     p.values(x)        f_1..f_m, m-by-1; m-by-N
%     p.jacobian(x)      m-by-n, row k the gradient of f_k; m-by-n-by-N
%     [f, k] = p.objective(x)  the objective (max f_k, or max |f_k| when form
%                        is 'max |f_k|': the data fits, itype 0) and the first
%                        k attaining it; NaN terms are passed over
%     [f, k] = p.largest(x)    the plain max f_k, whatever the form
%     p.active(x, eps)        the pieces within eps (default 0) of their group's
%                             maximum: struct of names, groups, values, active
%     p.stationarity(x, eps)  least-norm element of the eps-subdifferential:
%                             struct of norm, gap, element, multipliers, ...
%
%   Every number is the C++ library's, bit for bit. Bad arguments raise errors
%   with identifiers kinkbench:badProblem, kinkbench:badDimension,
%   kinkbench:badCapacity, kinkbench:badIndex, kinkbench:badType,
%   kinkbench:badSize and kinkbench:badArgument.
%
%   Example:
%     p = kinkbench.minimax(7);
%     [f, k] = p.objective(p.x0)      % max |f_k| at the start, and its k
%     g = sign(p.value(p.x0, k)) * p.gradient(p.x0, k);
%
%   See also kinkbench.nonsmooth, kinkbench.problems.
if nargin < 1
  error('kinkbench:badArgument', ...
        'kinkbench.minimax needs a problem number: kinkbench.minimax(number, n, capacity)');
end
if nargin < 2
  n = [];
end
if nargin < 3
  capacity = [];
end
p = kinkbench.MinimaxProblem(kinkbench_mex('create', 'minimax', number, n, capacity));
end
