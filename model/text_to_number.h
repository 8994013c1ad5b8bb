#pragma once
// The old path of decimal reading, kept for outside code that compiles
// against libtavimo_core.a.
#include "number/text_to_number.h"
