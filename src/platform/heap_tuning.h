#pragma once
// How the C library's allocator hands memory back to the system: a process-wide setting, so it lives
// here with the platform's other process-wide state.

namespace qb {

// For a process that loads one stage after another (the lint over a library): memory freed by one
// stage is kept for the next instead of being returned to the system and taken again. By default the
// allocator maps each large block (a sprite file's bytes, a big sprite's pixels) freshly and trims
// the heap after each stage, so every stage pays for zeroing its pages again: measured on 600 corpus
// stages that was five sixths of the lint's time, most of it in the kernel, and threads
// faulting pages in at once wait on each other. The process keeps at most what its largest stage
// needed at once.
void KeepFreedMemoryForReuse();

}  // namespace qb
