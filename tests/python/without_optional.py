"""A pytest plugin that makes SciPy, matplotlib and Hypothesis unimportable, as on a
machine without them: the tests that need one must skip, with their reason."""

import sys

for name in ("scipy", "matplotlib", "hypothesis"):
    sys.modules[name] = None
