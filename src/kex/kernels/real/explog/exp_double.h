#pragma once

#include "kex/kernels/skeleton.h"
#include "kex/kernels/tags.h"
