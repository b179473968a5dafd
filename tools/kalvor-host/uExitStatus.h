// Exit status of kalvor-host, as its help lists them.
#pragma once

inline constexpr int Exit_Success = 0;
inline constexpr int Exit_CommandFailed = 1;
inline constexpr int Exit_Usage = 2;
inline constexpr int Exit_PluginError = 3;
inline constexpr int Exit_Timeout = 4;
inline constexpr int Exit_BadAnswer = 5;
