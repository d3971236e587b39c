% The README's Octave example runs (on the build tree's package, which the test puts on
% the path in place of the install's), and its refusal reads as the package words it.
source_dir = getenv('KINKBENCH_SOURCE_DIR');
readme = fileread(fullfile(source_dir, 'README.md'));
block = regexp(readme, '```matlab\n(.*?)```', 'tokens', 'once');
assert(~isempty(block), 'the README has no matlab block');
code = regexprep(block{1}, '^addpath\([^\n]*\n', '');
assert(~strcmp(code, block{1}), 'the README example no longer starts with addpath');
evalc(code);
[largest, at] = max(abs(p.values(p.x0)));
assert(f == largest && k == at, 'objective %.17g at k = %d, not max |f_k| = %.17g at %d', ...
       f, k, largest, at);
assert(isequal(size(J), [21 3]) && isequal(size(V), [21 1000]));
assert(isequal(g, [-5; -5; -21; 7]) && isequal(H, H.'));

session = regexp(readme, '>> (try, [^\n]*)\n([^\n]*)\n', 'tokens', 'once');
assert(~isempty(session), 'the README shows no refusal');
printed = strtrim(evalc(session{1}));
assert(strcmp(printed, session{2}), 'the README shows "%s", the package prints "%s"', ...
       session{2}, printed);
disp(printed);

% The README's build command builds the MEX function (into a scratch folder here).
build = regexp(readme, '```sh\n(CXXFLAGS=[^`]*?mkoctfile --mex[^`]*?)```', 'tokens', 'once');
assert(~isempty(build), 'the README shows no mkoctfile command');
scratch = tempname();
mkdir(scratch);
command = strrep(strrep(build{1}, 'build/default/octave/', [scratch '/']), 'build/default/', ...
                 [getenv('KINKBENCH_BUILD_DIR') '/']);
[status, output] = system(sprintf('cd "%s" && %s', source_dir, command));
built = exist(fullfile(scratch, 'kinkbench_mex.mex'), 'file');
confirm_recursive_rmdir(false);
rmdir(scratch, 's');
assert(status == 0 && built > 0, 'the README''s build command failed: %s', output);
disp('the README''s build command builds the MEX function');
