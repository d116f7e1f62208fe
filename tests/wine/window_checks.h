#pragma once

// Checks of the Windows window order through the compact window's always-on-top tick.

namespace WindowChecks {

// Needs a display. Returns the number of failures.
int run();

} // namespace WindowChecks
