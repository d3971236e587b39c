% Every refusal is an error with an identifier and a message that says what to do, and
% none crashes: wrong types, sizes, problem numbers, k, and argument counts.
1;

function check(f, id, message)
  try
    f();
  catch err
    if ~strcmp(err.identifier, id) || ~strcmp(err.message, message)
      error('test:wrongError', '%s\n  gave  %s: %s\n  want  %s: %s', func2str(f), ...
            err.identifier, err.message, id, message);
    end
    printf('%s: %s\n', err.identifier, err.message);
    return
  end
  error('test:noError', '%s raised no error', func2str(f));
end

p = kinkbench.minimax(7);
q = kinkbench.nonsmooth(11);
x = p.x0;

% Set-up: the problem number, n and capacity.
check(@() kinkbench.minimax(7, 2), 'kinkbench:badDimension', 'minimax problem 7 needs n >= 3, got 2');
check(@() kinkbench.minimax(7, 3, 20), 'kinkbench:badCapacity', ...
      'minimax problem 7 has 21 partial functions, capacity 20 is too small');
check(@() kinkbench.nonsmooth(16, 11), 'kinkbench:badDimension', ...
      'nonsmooth problem 16 is defined for n = 10 only, got 11');
check(@() kinkbench.nonsmooth(11, 1), 'kinkbench:badDimension', 'nonsmooth problem 11 needs n >= 4, got 1');
check(@() kinkbench.minimax(3, 2^31), 'kinkbench:badDimension', ...
      'minimax problem 3: n = 2147483648 is above the largest n an object holds, 16777216');
check(@() kinkbench.nonsmooth(3, -1e10), 'kinkbench:badDimension', 'nonsmooth problem 3 needs n >= 2, got -10000000000');
check(@() kinkbench.minimax(7, 3, -1e10), 'kinkbench:badCapacity', ...
      'minimax problem 7 has 21 partial functions, capacity -10000000000 is too small');
check(@() kinkbench.minimax(3, 2.5), 'kinkbench:badDimension', 'n must be a whole number, got 2.5');
check(@() kinkbench.minimax(NaN), 'kinkbench:badProblem', 'the problem number must be a whole number, got NaN');
check(@() kinkbench.minimax(Inf), 'kinkbench:badProblem', 'the problem number must be a whole number, got Inf');
check(@() kinkbench.nonsmooth(7.5), 'kinkbench:badProblem', 'the problem number must be a whole number, got 7.5');
check(@() kinkbench.minimax(26), 'kinkbench:badProblem', ...
      'minimax problems are numbered 1..25, got 26; kinkbench.problems lists them');
check(@() kinkbench.nonsmooth(int8(0)), 'kinkbench:badProblem', ...
      'nonsmooth problems are numbered 1..25, got 0; kinkbench.problems lists them');
check(@() kinkbench.minimax(true), 'kinkbench:badType', 'the problem number must be a real whole number, got a logical');
check(@() kinkbench.minimax('7'), 'kinkbench:badType', 'the problem number must be a real whole number, got a char');
check(@() kinkbench.minimax(7 + 1i), 'kinkbench:badType', ...
      'the problem number must be a real whole number, got a complex double');
check(@() kinkbench.minimax({7}), 'kinkbench:badType', 'the problem number must be a real whole number, got a cell');
check(@() kinkbench.minimax([]), 'kinkbench:badSize', 'the problem number must be one number, got a 0-by-0 array');
check(@() kinkbench.minimax([7 8]), 'kinkbench:badSize', 'the problem number must be one number, got a 1-by-2 array');
check(@() kinkbench.minimax(), 'kinkbench:badArgument', ...
      'kinkbench.minimax needs a problem number: kinkbench.minimax(number, n, capacity)');

% Points: class, complexity, sparsity and shape.
check(@() p.value(x.', 1), 'kinkbench:badSize', ['minimax problem 7 is set up for n = 3: x must be ' ...
      '3-by-1, or 3-by-N for N points as columns; got 1-by-3; pass x(:) for one point']);
check(@() q.gradient([]), 'kinkbench:badSize', ['nonsmooth problem 11 is set up for n = 4: x must be ' ...
      '4-by-1, or 4-by-N for N points as columns; got 0-by-0']);
check(@() q.value(zeros(4, 2, 2)), 'kinkbench:badSize', ['nonsmooth problem 11 is set up for n = 4: ' ...
      'x must be 4-by-1, or 4-by-N for N points as columns; got 4-by-2-by-2']);
check(@() p.values([x; 1]), 'kinkbench:badSize', ['minimax problem 7 is set up for n = 3: x must be ' ...
      '3-by-1, or 3-by-N for N points as columns; got 4-by-1']);
check(@() p.value(x + 1i, 1), 'kinkbench:badType', ...
      'x must be real, got a complex double matrix; pass real(x) if the imaginary part is meant to be dropped');
check(@() q.hessian(sparse(q.x0)), 'kinkbench:badType', 'x must be a full double matrix, got a sparse double matrix; pass full(x)');
check(@() q.value(int32(q.x0)), 'kinkbench:badType', 'x must be a double matrix, got int32; convert it with double(x)');
check(@() q.value(single(q.x0)), 'kinkbench:badType', 'x must be a double matrix, got single; convert it with double(x)');
check(@() q.value(true(4, 1)), 'kinkbench:badType', 'x must be a double matrix, got logical; convert it with double(x)');
check(@() q.value('abcd'.'), 'kinkbench:badType', 'x must be a double matrix, got char; convert it with double(x)');
check(@() q.value({1; 2; 3; 4}), 'kinkbench:badType', 'x must be a double matrix, got cell');

% k, and what each collection takes.
check(@() p.value(x, 22), 'kinkbench:badIndex', 'k = 22 is outside 1..21: minimax problem 7 has m = 21 partial functions');
check(@() p.gradient(x, 0), 'kinkbench:badIndex', 'k = 0 is outside 1..21: minimax problem 7 has m = 21 partial functions');
check(@() p.hessian(x, NaN), 'kinkbench:badIndex', 'k must be a whole number, got NaN');
check(@() p.value(x, [1 2]), 'kinkbench:badSize', 'k must be one number, got a 1-by-2 array');
check(@() p.value(x), 'kinkbench:badArgument', 'value takes a point x and k: p.value(x, k) with k in 1..21');
check(@() p.values(x, 1), 'kinkbench:badArgument', 'values takes one argument, the point x: p.values(x)');
check(@() q.value(q.x0, 1), 'kinkbench:badArgument', ...
      'value takes one argument, the point x: p.value(x) (nonsmooth problems take no k)');
check(@() kinkbench_mex('values', [2 11 4 0 1], q.x0), 'kinkbench:badArgument', ...
      'values is for minimax problems; nonsmooth problem 11 has one objective f: use value');
check(@() kinkbench_mex('value', [1 7 2 21 21], [1; 2], 1), 'kinkbench:badArgument', ...
      'minimax problem 7 needs n >= 3, got 2');
check(@() kinkbench_mex('value', [1 7 3], x, 1), 'kinkbench:badArgument', ...
      ['the problem key must be the ''key'' field that kinkbench_mex(''create'', ...) returns; ' ...
       'create problems with kinkbench.minimax or kinkbench.nonsmooth']);
check(@() kinkbench_mex('solve', [1 7 3 21 21], x), 'kinkbench:badArgument', ...
      'there is no operation ''solve''');
check(@() kinkbench_mex(), 'kinkbench:badArgument', ['the first argument names an ' ...
      'operation; use kinkbench.minimax or kinkbench.nonsmooth and the methods of what they return']);

% The tolerance of active and stationarity.
check(@() q.active(q.x0, -1), 'kinkbench:badTolerance', 'eps must be a number >= 0, got -1');
check(@() p.stationarity(x, NaN), 'kinkbench:badTolerance', 'eps must be a number >= 0, got NaN');
check(@() p.active(x, [1 2]), 'kinkbench:badSize', 'eps must be one number, got a 1-by-2 array');
check(@() q.stationarity(q.x0, int8(1)), 'kinkbench:badType', 'eps must be a real double, got int8');
check(@() p.active(x, 0, 1), 'kinkbench:badArgument', ...
      'active takes a point x and a tolerance: p.active(x, eps), eps >= 0');

% The numbers that are accepted: other whole-number classes, [] for a default, and a
% batch of no points.
r = kinkbench.minimax(int32(7), [], 1e12);
assert(r.m == 21 && r.n == 3);
r = kinkbench.minimax(7, uint8(4), uint8(30));
assert(r.m == 21 && r.n == 4);
r = kinkbench.nonsmooth(single(11));
assert(r.n == 4);
assert(isequal(size(q.gradient(zeros(4, 0))), [4 0]));
assert(isequal(size(p.jacobian(zeros(3, 0))), [21 3 0]));
[f, k] = p.objective(zeros(3, 0));
assert(isequal(size(f), [1 0]) && isequal(size(k), [1 0]));
% A handle holds no state in the MEX function: unloading it changes nothing.
before = p.jacobian(p.x0);
clear mex
assert(isequal(typecast(p.jacobian(p.x0)(:), 'uint64'), typecast(before(:), 'uint64')));
printf('all refusals as expected\n');
