// Whether the tool's standard error is a terminal: progress is drawn only there, never into
// a file or pipe a user keeps.
#pragma once

namespace kestrom_sim {

bool standardErrorIsTerminal();

}  // namespace kestrom_sim
