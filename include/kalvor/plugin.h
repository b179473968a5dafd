/* The host's interface of the Kalvor dynamic menu plugin. */
#ifndef KALVOR_PLUGIN_H
#define KALVOR_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Called on the plugin's own thread once per queued command. Buffer belongs
   to the plugin and is freed when the callback returns: copy what you keep. */
typedef void (*Callback)(int32_t CommandId, const char* Name, void* Buffer, int32_t Size,
                         intptr_t UserValue);

/* Creates the session and its worker (reads the ini, connects to the database). */
void Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue);

/* The plugin name; works without a session. */
void GetName_Plugin(char** NameOut);

/* Queues a copy of Size bytes of Buffer. 0 queued; 1 no session (or it is
   stopping); 3 refused: a buffer that cannot be answered inside itself, or a
   full queue (QueueLimit in the ini file). A refused command is never called
   back. */
int32_t Command_Plugin(int32_t CommandId, void* Buffer, int32_t Size);

/* Stops the session: the command in progress finishes and is called back,
   then the worker closes its database connection; queued commands are dropped
   without a callback. May be called from inside the callback: it then returns
   at once, the thread ends when the callback returns, and the library stays
   loaded until then, so the host may dlclose it in the same callback. Call it
   before a dlclose from inside the callback: without it the library can only
   survive that dlclose by keeping its memory mapped (Linux 6.10 or later). */
void Finalize_Plugin(void);

#ifdef __cplusplus
}
#endif

#endif
