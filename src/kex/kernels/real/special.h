// Special-function kernels: the error functions and their inverses, the
// normal distribution function and its inverse (headers under special/), and
// LGamma and TGamma, which run at the generic level in extended precision.
#pragma once
