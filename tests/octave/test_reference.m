% Every number the Octave package gives equals the C++ API's bit for bit, one point at a
% time and as a batch of columns, for all 50 problems at their smallest n and three
% more, at the start, at seeded points and at a point with an infinite component (NaN
% and infinities come through as computed). The reference driver prints the C++ side as
% bit patterns, points included.
1;

function b = bits(v)
  b = typecast(double(v(:)), 'uint64');
end

% Pairs (what Octave gave, the reference's bit patterns) are gathered for a whole case and
% compared at once; a difference is reported by the label of its pair.
function expect_same(got, want_bits, what, counted)
  global pending
  pending.got{end + 1} = bits(got);
  pending.want{end + 1} = want_bits(:);
  pending.what{end + 1} = what;
  pending.counted(end + 1) = nargin < 4 || counted;
end

function compare_pending()
  global pending compared
  got = vertcat(pending.got{:});
  want = vertcat(pending.want{:});
  if ~isequal(got, want)
    for i = 1:numel(pending.what)
      if ~isequal(pending.got{i}, pending.want{i})
        error('test:differs', '%s: differs from the C++ API (%d words here, %d there)', ...
              pending.what{i}, numel(pending.got{i}), numel(pending.want{i}));
      end
    end
  end
  compared = compared + sum(cellfun('numel', pending.want(pending.counted)));
  pending = struct('got', {{}}, 'want', {{}}, 'what', {{}}, 'counted', false(1, 0));
end

% The bit patterns on a line after its first `skip` + 1 words: each is 16 hex digits and
% a blank, so they are read as the rows of one character matrix.
function w = words(line, skip)
  blanks = find(line == ' ', skip + 1);
  if numel(blanks) < skip + 1
    w = zeros(0, 1, 'uint64');
    return
  end
  hex = [line(blanks(end) + 1:end) ' '];
  if mod(numel(hex), 17) ~= 0
    error('test:driver', 'malformed line: %s', line(1:min(end, 40)));
  end
  hex = reshape(hex, 17, []).';
  w = typecast(hex2num(hex(:, 1:16)), 'uint64');
end

% active and stationarity at point i, alone and as column i of the batch results.
function at = expect_kinks(p, x, eps, kinks, i, lines, at, who)
  a = p.active(x, eps);
  want = words(lines{at}, 0);
  expect_same([a.values; double(a.active)], want, sprintf('%s active at point %d', who, i));
  expect_same([kinks{1}.values(:, i); double(kinks{1}.active(:, i))], want, ...
              sprintf('%s active at point %d of a batch', who, i));
  s = p.stationarity(x, eps);
  want = words(lines{at + 1}, 0);
  expect_same([s.norm; s.gap; s.iterations; double(s.converged); s.multipliers; s.element], ...
              want, sprintf('%s stationarity at point %d', who, i));
  b = kinks{2};
  expect_same([b.norm(i); b.gap(i); b.iterations(i); double(b.converged(i)); ...
               b.multipliers(:, i); b.element(:, i)], want, ...
              sprintf('%s stationarity at point %d of a batch', who, i));
  at = at + 2;
end

% The lower triangle by rows, as the C++ API packs it, read from a dense matrix.
function t = packed(h)
  ht = h.';
  t = ht(triu(true(size(h, 1))));
end

global compared pending
compared = 0;
pending = struct('got', {{}}, 'want', {{}}, 'what', {{}}, 'counted', false(1, 0));
driver = getenv('KINKBENCH_OCTAVE_REFERENCE');
[status, text] = system(sprintf('"%s"', driver));
if status ~= 0
  error('test:driver', 'the reference driver failed: %s', text);
end
lines = regexp(text, '[^\n]+', 'match');
at = 1;
cases = 0;
problems = {};
while at <= numel(lines)
  head = strsplit(lines{at}, ' ');
  assert(strcmp(head{1}, 'case'), 'expected a case line, got %s', lines{at});
  collection = head{2};
  number = str2double(head{3});
  n = str2double(head{4});
  who = sprintf('%s %d n=%d', collection, number, n);
  start = words(lines{at + 1}, 0);
  best = words(lines{at + 2}, 0);
  points = reshape(typecast(words(lines{at + 3}, 0), 'double'), n, []);
  names = strtrim(lines{at + 4}(7:end));
  at = at + 5;
  if strcmp(collection, 'minimax')
    p = kinkbench.minimax(number, n);
    expect_same([p.m; p.itype; p.fmin; p.stepmax; p.x0], start, [who ' set-up']);
  else
    p = kinkbench.nonsmooth(number, n);
    expect_same([p.fmin; p.stepmax; p.x0], start, [who ' set-up']);
  end
  expect_same([p.fstar; p.xstar], best, [who ' best known']);
  assert(isempty(best) == isempty(p.status), '%s: status "%s" beside fstar', who, p.status);
  count = size(points, 2);
  eps = 1e-3;
  kinks = {p.active(points, eps), p.stationarity(points, eps)};
  if ~strcmp(strjoin(kinks{1}.names.', ' '), names) || ~strcmp(strjoin(kinks{2}.names.', ' '), names)
    error('test:names', '%s: pieces %s, not %s', who, strjoin(kinks{1}.names.', ' '), names);
  end
  if strcmp(collection, 'minimax')
    m = p.m;
    % Each point alone, then all of them as one batch, against the same reference lines.
    [bv, bk] = p.objective(points);
    [lv, lk] = p.largest(points);
    bvalues = p.values(points);
    bjacobian = p.jacobian(points);
    for k = 1:m
      bf{k} = p.value(points, k);
      bg{k} = p.gradient(points, k);
      bh{k} = p.hessian(points, k);
    end
    for i = 1:count
      x = points(:, i);
      for k = 1:m
        line = lines{at};
        if sscanf(line, 'f %d', 1) ~= k
          error('test:driver', '%s: expected f_%d, got %s', who, k, line(1:8));
        end
        want = words(line, 1);
        h = p.hessian(x, k);
        expect_same(h.', bits(h), sprintf('%s symmetry of the Hessian of f_%d', who, k), false);
        expect_same([p.value(x, k); p.gradient(x, k); packed(h)], want, ...
                    sprintf('%s f_%d at point %d', who, k, i));
        expect_same([bf{k}(i); bg{k}(:, i); packed(bh{k}(:, :, i))], want, ...
                    sprintf('%s f_%d at point %d of a batch', who, k, i));
        at = at + 1;
      end
      want = words(lines{at}, 0);
      expect_same(p.values(x), want, sprintf('%s values at point %d', who, i));
      expect_same(bvalues(:, i), want, sprintf('%s values at point %d of a batch', who, i));
      want = words(lines{at + 1}, 0);
      j = p.jacobian(x);
      if ~isequal(size(j), [m n])
        error('test:shape', '%s: jacobian is %s', who, mat2str(size(j)));
      end
      expect_same(reshape(j.', [], 1), want, sprintf('%s jacobian at point %d', who, i));
      expect_same(reshape(bjacobian(:, :, i).', [], 1), want, ...
                  sprintf('%s jacobian at point %d of a batch', who, i));
      [v, k] = p.objective(x);
      expect_same([v; k], words(lines{at + 2}, 0), sprintf('%s objective at point %d', who, i));
      expect_same([bv(i); bk(i)], words(lines{at + 2}, 0), sprintf('%s batch objective', who));
      [v, k] = p.largest(x);
      expect_same([v; k], words(lines{at + 3}, 0), sprintf('%s largest at point %d', who, i));
      expect_same([lv(i); lk(i)], words(lines{at + 3}, 0), sprintf('%s batch largest', who));
      at = at + 4;
      at = expect_kinks(p, x, eps, kinks, i, lines, at, who);
    end
  else
    bf = p.value(points);
    bg = p.gradient(points);
    bh = p.hessian(points);
    assert(isequal(bits(p.objective(points)), bits(bf)), '%s: objective is not value', who);
    for i = 1:count
      x = points(:, i);
      want = words(lines{at}, 0);
      h = p.hessian(x);
      expect_same(h.', bits(h), sprintf('%s symmetry of the Hessian', who), false);
      expect_same([p.value(x); p.gradient(x); packed(h)], want, sprintf('%s at point %d', who, i));
      expect_same([bf(i); bg(:, i); packed(bh(:, :, i))], want, ...
                  sprintf('%s at point %d of a batch', who, i));
      at = at + 1;
      at = expect_kinks(p, x, eps, kinks, i, lines, at, who);
    end
  end
  compare_pending();
  cases = cases + 1;
  problems{end + 1} = sprintf('%s %d', collection, number);
end
problems = unique(problems);
assert(numel(problems) == 50, 'only %d problems compared', numel(problems));
printf(['bit for bit: %d numbers equal to the C++ API''s, the points taken one at a time ' ...
        'and as batches, over %d problems (%d set-ups); 0 differences\n'], compared, ...
       numel(problems), cases);
