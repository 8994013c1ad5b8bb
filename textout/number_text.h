#pragma once
// The old path of the number text, kept for outside code that compiles
// against libtavimo_core.a.
#include "number/number_text.h"
