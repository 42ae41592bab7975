#include "BenchRegistry.h"
