function gradient_sampling()
%GRADIENT_SAMPLING  A small gradient-sampling method on a minimax and a nonsmooth problem.
%   Put the kinkbench package on the path (addpath('PREFIX/share/kinkbench/octave')) and
%   run gradient_sampling. Each step samples gradients at 2n points near x in one batch
%   call, moves along the negative of the shortest vector in their convex hull and
%   shrinks the sampling radius where that vector is shorter than the radius. It ends
%   with an error unless both runs get within 1e-4 (relative) of the best-known value.
randn('state', 1);
problems = {kinkbench.minimax(1), kinkbench.nonsmooth(11)};
for i = 1:numel(problems)
  p = problems{i};
  [x, f, iterations, points] = solve(p, p.x0);
  fprintf('%s problem %d (%s, n = %d): %.10g at the start, %.10g after %d steps and %d points; f* = %.10g (%s)\n', ...
          class_name(p), p.number, p.form, p.n, objective(p, p.x0), f, iterations, points, ...
          p.fstar, p.status);
  fprintf('  x = [%s]\n', sprintf(' %.6f', x));
  if ~(f - p.fstar <= 1e-4 * max(1, abs(p.fstar)))
    error('example:notSolved', '%s problem %d ended %.3g above f*', class_name(p), p.number, ...
          f - p.fstar);
  end
end
end

function [x, f, iterations, points] = solve(p, x)
radius = 0.1;
[f, g] = oracle(p, x);
points = 1;
for iterations = 1:500
  samples = x + radius * randn(p.n, 2 * p.n);
  [~, gs] = oracle(p, samples);
  points = points + size(samples, 2);
  d = -min_norm([g, gs]);
  if norm(d) <= radius
    radius = radius / 10;
    if radius < 1e-7
      break
    end
    continue
  end
  % Armijo backtracking along d, never longer than the problem's stepmax.
  t = min(1, p.stepmax / norm(d));
  while true
    [ft, gt] = oracle(p, x + t * d);
    points = points + 1;
    if ft <= f - 1e-6 * t * (d.' * d) || t < 1e-12
      break
    end
    t = t / 2;
  end
  if t < 1e-12
    radius = radius / 10;
    continue
  end
  x = x + t * d;
  f = ft;
  g = gt;
end
end

% The objective and a gradient of it at each column of x: for a minimax problem the
% gradient of the f_k that attains the maximum (signed for max |f_k|).
function [f, g] = oracle(p, x)
if strcmp(p.form, 'f')
  f = p.value(x);
  g = p.gradient(x);
  return
end
[f, k] = p.objective(x);
J = p.jacobian(x);
v = p.values(x);
g = zeros(size(x));
for j = 1:size(x, 2)
  s = 1;
  if strcmp(p.form, 'max |f_k|')
    s = sign(v(k(j), j));
  end
  g(:, j) = s * J(k(j), :, j).';
end
end

function f = objective(p, x)
f = p.objective(x);
end

% The shortest vector in the convex hull of the columns of G (Frank-Wolfe, exact steps).
function d = min_norm(G)
Q = G.' * G;
lambda = ones(size(G, 2), 1) / size(G, 2);
for it = 1:200
  grad = Q * lambda;
  [~, i] = min(grad);
  dir = -lambda;
  dir(i) = dir(i) + 1;
  curvature = dir.' * Q * dir;
  slope = grad.' * dir;
  if curvature <= 0 || slope >= -1e-15
    break
  end
  lambda = lambda + min(1, -slope / curvature) * dir;
end
d = G * lambda;
end

function name = class_name(p)
if strcmp(p.form, 'f')
  name = 'nonsmooth';
else
  name = 'minimax';
end
end
