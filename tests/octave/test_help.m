% The help texts: `help kinkbench.minimax` and the others show their usage, and every
% public method and property of a problem is named in its factory's help.
1;

% The help text itself, without the line naming its file.
function text = help_of(name)
  text = evalc(sprintf('help %s', name));
  text = regexprep(text, '^[^\n]* is a [^\n]* from the file [^\n]*\n', '');
end

function expect_in(text, what, name)
  if isempty(strfind(text, what))
    error('test:help', 'help %s does not mention "%s":\n%s', name, what, text);
  end
end

pairs = {'kinkbench.minimax', 'kinkbench.MinimaxProblem', kinkbench.minimax(7); ...
         'kinkbench.nonsmooth', 'kinkbench.NonsmoothProblem', kinkbench.nonsmooth(11)};
for i = 1:rows(pairs)
  [name, class_name, p] = pairs{i, :};
  text = help_of(name);
  expect_in(text, sprintf('p = %s(number)', name), name);
  expect_in(text, 'kinkbench:badDimension', name);
  evaluations = setdiff(methods(p), [methods('handle'); {'disp'; class_name(11:end)}]);
  assert(numel(evaluations) >= 4, '%s has only %d methods', class_name, numel(evaluations));
  for method = evaluations.'
    expect_in(text, sprintf('p.%s(x', method{1}), name);
  end
  for property = properties(p).'
    if isempty(regexp(text, ['\<' property{1} '\>'], 'once'))
      error('test:help', 'help %s does not name the property %s', name, property{1});
    end
  end
  expect_in(help_of(class_name), name, class_name);
end
expect_in(help_of('kinkbench.problems'), 'list = kinkbench.problems()', 'kinkbench.problems');
disp(help_of('kinkbench.minimax'));
