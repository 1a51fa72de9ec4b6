#pragma once

#include <vector>

#include "app/application.h"

// Runs the jobs of a list's entries, `workers` at a time, and prints each
// entry's messages whole and in list order, whatever order the jobs end in.
// After the first failure no further entry is started; those already running
// finish. The exit status: 0 when every job succeeded, else 1.
int RunEntries(const std::vector<JobSpec>& jobs, int workers);
