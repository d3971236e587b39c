function list = problems()
%PROBLEMS  Both collections, one struct per problem.
%   list = kinkbench.problems() returns a 50-by-1 struct array with the fields
%   collection ('minimax' or 'nonsmooth'), number, min_n, max_n ([] when there
%   is no limit), m (1 for nonsmooth problems), form, fmin, stepmax, fstar and
%   status (the best-known optimum at min_n; [] and '' when none is stored) and
%   summary.
%
%   Example:
%     list = kinkbench.problems();
%     fits = list(strcmp({list.form}, 'max |f_k|'));
%
%   See also kinkbench.minimax, kinkbench.nonsmooth.
list = kinkbench_mex('problems');
end
