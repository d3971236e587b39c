classdef NonsmoothProblem < handle
%NONSMOOTHPROBLEM  A nonsmooth problem: one objective f of x (n-by-1), with kinks.
%   Create one with kinkbench.nonsmooth(number, n); see
%   help kinkbench.nonsmooth for its properties and methods. Points are
%   columns: an n-by-N x evaluates N points in one call.

  properties (SetAccess = private)
    number    % problem number, 1..25
    n         % number of variables it is set up for
    min_n     % smallest n the problem accepts
    max_n     % largest n it accepts; [] when there is no limit
    m         % 1: one objective
    fmin      % lower bound for the objective given by the set-up
    stepmax   % largest step an optimiser should take
    x0        % the starting point, n-by-1
    form      % 'f'
    fstar     % best-known value of f at xstar; [] when none is stored for n
    xstar     % a point attaining fstar, n-by-1; [] like fstar
    status    % 'certified', 'closed form', 'best known', 'local' or ''
    summary   % one line describing the problem
  end
  properties (Access = private)
    key       % what the MEX function sets the problem up from on every call
  end

  methods
    function obj = NonsmoothProblem(facts)
      % Use kinkbench.nonsmooth to create one.
      if nargin < 1 || ~isstruct(facts) || ~isfield(facts, 'key')
        error('kinkbench:badArgument', 'create nonsmooth problems with kinkbench.nonsmooth(number, n)');
      end
      obj.key = facts.key;
      obj.number = facts.number;
      obj.n = facts.n;
      obj.min_n = facts.min_n;
      obj.max_n = facts.max_n;
      obj.m = facts.m;
      obj.fmin = facts.fmin;
      obj.stepmax = facts.stepmax;
      obj.x0 = facts.x0;
      obj.form = facts.form;
      obj.fstar = facts.fstar;
      obj.xstar = facts.xstar;
      obj.status = facts.status;
      obj.summary = facts.summary;
    end

    function f = value(obj, varargin)
      % p.value(x): f(x), 1-by-N for an n-by-N x.
      f = kinkbench_mex('value', obj.key, varargin{:});
    end
    function f = objective(obj, varargin)
      % p.objective(x): f(x), as p.value(x).
      f = kinkbench_mex('objective', obj.key, varargin{:});
    end
    function g = gradient(obj, varargin)
      % p.gradient(x): the gradient, n-by-1 (n-by-N for an n-by-N x).
      g = kinkbench_mex('gradient', obj.key, varargin{:});
    end
    function h = hessian(obj, varargin)
      % p.hessian(x): the Hessian, dense symmetric n-by-n (n-by-n-by-N).
      h = kinkbench_mex('hessian', obj.key, varargin{:});
    end

    function a = active(obj, varargin)
      % p.active(x, eps): the pieces of the objective within eps (default 0) of their
      % group's maximum: a struct with names and groups (P-by-1), values and active (P-by-N).
      a = kinkbench_mex('active', obj.key, varargin{:});
    end
    function s = stationarity(obj, varargin)
      % p.stationarity(x, eps): the least-norm element of the eps-subdifferential built
      % from the active pieces: a struct with norm, gap, iterations, converged (1-by-N),
      % multipliers and active (P-by-N), element (n-by-N), names and groups (P-by-1).
      s = kinkbench_mex('stationarity', obj.key, varargin{:});
    end

    function disp(obj)
      fprintf('  kinkbench.nonsmooth(%d, %d): %s\n', obj.number, obj.n, obj.summary);
    end
  end
end
