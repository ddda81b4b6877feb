// Power and root kernels: Sqrt, InvSqrt, Cbrt, InvCbrt, Pow2o3, Pow3o2, Pow,
// Powx and Hypot in single and double precision, one header per kind under
// power/; the scalar routines they share between the levels are defined once,
// in the SSE2 unit.
#pragma once
