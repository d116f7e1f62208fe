#pragma once

// The Qt platform plugin for the windows of tests and of the copies they start: offscreen where Qt
// has it. The Windows build of Qt made here has no offscreen plugin, so there the windows plugin
// runs them, under Wine on a throwaway X server.
#if defined(Q_OS_WIN)
inline constexpr char headlessPlatform[] = "windows";
#else
inline constexpr char headlessPlatform[] = "offscreen";
#endif
