// Read by the layer check's tests, never compiled: a link-layer file reaching up to ops.
#include "core/link/TelnetLink.h"
#include "core/ops/OperationState.h"
#include "core/platform/Timing.h"
