// Where and with what a run was measured: the program, the machine, the
// display, the font and the libraries.
#pragma once

#include <ctime>
#include <string>

#include "result/result.h"

namespace runner {

results::Program programInfo();

// The machine as it is now: date, host, OS, kernel, CPU, cores, memory, the
// load average (as the start and the end), the engine's instruction set,
// the font and the library versions. The display fields are the caller's.
results::Context machineContext();

// The system's 1, 5 and 15 minute load averages (zeros when unknown).
results::LoadAverage loadAverage();

// The instruction set the engine's kernels use: "sse2", "avx2" or "avx512".
std::string engineSimdLevel();

// ISO 8601 local time with the offset from UTC: 2026-12-11T16:03:07+01:00.
std::string isoDate(std::time_t t);

}  // namespace runner
