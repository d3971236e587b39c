classdef EmptyProblem < handle
%EMPTYPROBLEM  The benchmark's floor for a method call: the shape of a problem's value
%   method, over the empty MEX function.
  properties (Access = private)
    key = [1 1 2 3 3];
  end
  methods
    function f = value(obj, varargin)
      f = empty_mex('value', obj.key, varargin{:});
    end
  end
end
