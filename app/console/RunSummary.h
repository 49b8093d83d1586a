#pragma once
// The settings' description moved to the run library (the run log keeps it
// too); this name stays for code that included it here.
#include "app/run/RunSummary.h"
