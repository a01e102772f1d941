#pragma once

// The owning list lives in the engine, the lowest layer whose classes keep lists of it.
#include "engine/class_AnyList.h"
