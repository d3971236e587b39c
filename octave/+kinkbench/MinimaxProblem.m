classdef MinimaxProblem < handle
%MINIMAXPROBLEM  A minimax problem: partial functions f_1..f_m of x (n-by-1).
%   Create one with kinkbench.minimax(number, n, capacity); see
%   help kinkbench.minimax for its properties and methods. Points are columns:
%   an n-by-N x evaluates N points in one call.

  properties (SetAccess = private)
    number    % problem number, 1..25
    n         % number of variables it is set up for
    min_n     % smallest n the problem accepts
    m         % number of partial functions f_k
    itype     % -1: the objective is max f_k; 0: a data fit, max |f_k|
    fmin      % lower bound for the objective given by the set-up
    stepmax   % largest step an optimiser should take
    x0        % the starting point, n-by-1
    form      % 'max f_k' or 'max |f_k|'
    fstar     % best-known value of the objective at xstar; [] when none is stored for n
    xstar     % a point attaining fstar, n-by-1; [] like fstar
    status    % 'certified', 'closed form', 'best known', 'local' or ''
    summary   % one line describing the problem
  end
  properties (Access = private)
    key       % what the MEX function sets the problem up from on every call
  end

  methods
    function obj = MinimaxProblem(facts)
      % Use kinkbench.minimax to create one.
      if nargin < 1 || ~isstruct(facts) || ~isfield(facts, 'key')
        error('kinkbench:badArgument', 'create minimax problems with kinkbench.minimax(number, n)');
      end
      obj.key = facts.key;
      obj.number = facts.number;
      obj.n = facts.n;
      obj.min_n = facts.min_n;
      obj.m = facts.m;
      obj.itype = facts.itype;
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
      % p.value(x, k): f_k(x), 1-by-N for an n-by-N x.
      f = kinkbench_mex('value', obj.key, varargin{:});
    end
    function g = gradient(obj, varargin)
      % p.gradient(x, k): the gradient of f_k, n-by-1 (n-by-N for an n-by-N x).
      g = kinkbench_mex('gradient', obj.key, varargin{:});
    end
    function h = hessian(obj, varargin)
      % p.hessian(x, k): the Hessian of f_k, dense symmetric n-by-n (n-by-n-by-N).
      h = kinkbench_mex('hessian', obj.key, varargin{:});
    end
    function v = values(obj, varargin)
      % p.values(x): f_1..f_m, m-by-1 (m-by-N for an n-by-N x).
      v = kinkbench_mex('values', obj.key, varargin{:});
    end
    function j = jacobian(obj, varargin)
      % p.jacobian(x): m-by-n, row k the gradient of f_k (m-by-n-by-N).
      j = kinkbench_mex('jacobian', obj.key, varargin{:});
    end
    function varargout = objective(obj, varargin)
      % [f, k] = p.objective(x): max f_k, or max |f_k| for the data fits (see
      % form), and the first k attaining it; 1-by-N each for an n-by-N x.
      [varargout{1:max(nargout, 1)}] = kinkbench_mex('objective', obj.key, varargin{:});
    end
    function varargout = largest(obj, varargin)
      % [f, k] = p.largest(x): the plain max f_k and the first k attaining it.
      [varargout{1:max(nargout, 1)}] = kinkbench_mex('largest', obj.key, varargin{:});
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
      fprintf('  kinkbench.minimax(%d, %d): %s over m = %d partial functions; %s\n', ...
              obj.number, obj.n, obj.form, obj.m, obj.summary);
    end
  end
end
