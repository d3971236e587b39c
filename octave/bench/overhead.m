function overhead(calls)
%OVERHEAD  Per-call cost of the Octave package at n = 2, beside an empty MEX function.
%   overhead(calls) times CALLS calls (default 5000) of each in 15 rounds and prints
%   the fastest round's process CPU time per call (loop included), so that other work on a
%   shared machine does not enter:
%     empty MEX             empty_mex('value', key, x, k): the interpreter's floor
%     kinkbench MEX         kinkbench_mex('value', key, x, k): checks, set-up,
%                           one evaluation
%     empty method          the same method shape as p.value, over the empty MEX
%     p.value(x, k)         what a user calls
%   for minimax problem 1 and nonsmooth problem 1 (n = 2), and nonsmooth problem 16
%   (n = 10), whose set-up is the slowest. Needs the build tree's octave/ and
%   octave/bench/ directories on the path.
if nargin < 1
  calls = 5000;
end
cases = {kinkbench.minimax(1), 1; kinkbench.nonsmooth(1), []; kinkbench.nonsmooth(16), []};
floor_object = EmptyProblem();
fprintf('%-24s %12s %14s %14s %14s %8s\n', 'problem', 'empty MEX', 'kinkbench MEX', ...
        'empty method', 'p.value', 'ratio');
for i = 1:size(cases, 1)
  [p, k] = cases{i, :};
  x = p.x0;
  key = [1 p.number p.n p.m p.m];
  args = {x};
  if ~isempty(k)
    args = {x, k};
  else
    key = [2 p.number p.n 0 1];
  end
  t = zeros(4, 15);
  % Fifteen rounds, each timing the four in turn; written out, since a function handle's
  % call costs more than an empty MEX function's.
  for r = 1:15
    t0 = cputime;
    for i = 1:calls
      empty_mex('value', key, args{:});
    end
    t(1, r) = cputime - t0;
    t0 = cputime;
    for i = 1:calls
      kinkbench_mex('value', key, args{:});
    end
    t(2, r) = cputime - t0;
    t0 = cputime;
    for i = 1:calls
      floor_object.value(args{:});
    end
    t(3, r) = cputime - t0;
    t0 = cputime;
    for i = 1:calls
      p.value(args{:});
    end
    t(4, r) = cputime - t0;
  end
  t = min(t, [], 2).' / calls;
  fprintf('%-24s %9.2f us %11.2f us %11.2f us %11.2f us %8.2f\n', ...
          sprintf('%s %d, n = %d', class_label(p), p.number, p.n), t * 1e6, t(4) / t(3));
end
end

function label = class_label(p)
if strcmp(p.form, 'f')
  label = 'nonsmooth';
else
  label = 'minimax';
end
end
