#pragma once
// Checking many stages at once: each stage loads on its own (its own log, sprites and scratch folder),
// so stages can be checked side by side on several threads while the report keeps the order of one.
#include <cstddef>
#include <functional>

namespace qb {

// The number of jobs when none is asked for: the processor's cores (1 when it cannot tell).
unsigned DefaultLintJobs();

// Runs check(i) for every i in [0, count) on up to `jobs` threads (the caller's thread is one of them),
// handing out indexes in rising order; check(i) writes its result only to the i-th place of what the
// caller keeps, so the results come out in the order of the indexes whatever the threads did.
// finished(done, i) is called after each check, one call at a time, with the number finished so far.
// Returns when every check has finished. `jobs` 0 counts as 1; no more threads start than checks.
void RunLintJobs(size_t count, unsigned jobs, const std::function<void(size_t index)>& check,
                 const std::function<void(size_t done, size_t index)>& finished);

}  // namespace qb
