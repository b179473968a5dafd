/* The host's interface of the Kalvor dynamic menu plugin. */
#ifndef KALVOR_PLUGIN_H
#define KALVOR_PLUGIN_H

#include <stdint.h>

/* The calling convention of the four entry points and of the host callback:
   on 32-bit Windows __stdcall, what a Windows host expects of plain exported
   functions, or __cdecl for a host that needs it (define KALVOR_CDECL, as the
   CMake option KALVOR_CDECL does for the library). Other platforms have one
   convention. */
#if defined(_WIN32) && !defined(_WIN64)
#ifdef KALVOR_CDECL
#define KALVOR_CALL __cdecl
#else
#define KALVOR_CALL __stdcall
#endif
#else
#define KALVOR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Command_Plugin's results. */
#define KALVOR_COMMAND_QUEUED 0     /* queued: the callback follows */
#define KALVOR_COMMAND_NO_SESSION 1 /* no session, or it is stopping: no callback */
#define KALVOR_COMMAND_REFUSED 3    /* refused, logged: no callback */

/* Called on the plugin's own thread once per queued command, with the
   plugin's copy of the command holding the answer; the host's own buffer is
   never written. Buffer always holds at least the 16-byte envelope, even when
   Size (the size word) is smaller. It belongs to the plugin and is freed when
   the callback returns: copy what you keep. */
typedef void(KALVOR_CALL* Callback)(int32_t CommandId, const char* Name, void* Buffer, int32_t Size,
                                    intptr_t UserValue);

/* Creates the session and its worker (reads the ini, connects to the
   database). A second call while a session exists changes nothing: an edited
   ini is read by Finalize_Plugin, then Init_Plugin. A null NameOut is skipped.
   A null cb is allowed: commands are then run and logged as ever and their
   answers discarded (a command 102 still records its action), and the log
   says so once. */
void KALVOR_CALL Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue);

/* The plugin name; works without a session. A null NameOut is skipped. */
void KALVOR_CALL GetName_Plugin(char** NameOut);

/* Queues a copy of the bytes Buffer's size word declares (at most Size; the
   host may reuse Buffer at once). KALVOR_COMMAND_QUEUED, KALVOR_COMMAND_NO_SESSION
   (or it is stopping) or KALVOR_COMMAND_REFUSED: a null Buffer, Size below 4,
   a size word above Size, or a full queue (QueueLimit and QueueByteLimit in
   the ini file). A refused command is never called back; the log says why.
   Any thread may call it, but not beside Init_Plugin or Finalize_Plugin; one
   that meets a session being finalized all the same answers
   KALVOR_COMMAND_NO_SESSION at once. */
int32_t KALVOR_CALL Command_Plugin(int32_t CommandId, void* Buffer, int32_t Size);

/* Stops the session: the command in progress finishes and is called back,
   then the worker closes its database connection; queued commands are dropped
   without a callback. May be called from inside the callback: it then returns
   at once, the thread ends when the callback returns, and the library stays
   loaded until then, so the host may dlclose it in the same callback. Call it
   before a dlclose from inside the callback: without it the library can only
   survive that dlclose by keeping its memory mapped (Linux 6.10 or later).
   Unloaded without it (dlclose, FreeLibrary), the session stops before the
   unload returns, without the worker's Finalize: no callback follows, and a
   new load and Init_Plugin call the new callback. On Windows the command in
   progress then finishes without a callback, and the core beside Kalvor.dll
   (Kalvor.core.dll) stays loaded until the process ends. */
void KALVOR_CALL Finalize_Plugin(void);

#ifdef __cplusplus
}
#endif

#endif
