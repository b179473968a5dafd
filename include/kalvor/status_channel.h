/* The status channel of a running Kalvor plugin ([Main] StatusChannel=1): a
   local, read-only endpoint that answers what the plugin is doing. kalvor-host
   status and kalvor-host health ask it; any program may.

   Where it is:
   - Linux: a Unix domain socket named KALVOR_STATUS_PREFIX <name> "-" <pid>
     KALVOR_STATUS_SUFFIX in KALVOR_STATUS_FOLDER when the host's account may
     write there (an administrator makes it, for instance group kalvor mode
     3775), else in the host account's own folder
     KALVOR_STATUS_FALLBACK_PREFIX <uid>. The socket
     belongs to the group of the host's Logs folder, which may connect when it
     may write that folder; other accounts never.
   - Windows: the named pipe KALVOR_STATUS_PIPE_PREFIX <name> "-" <pid>, open
     to the host's own account and to Administrators, never to the network.
     An empty file of the pipe's name (KALVOR_STATUS_PREFIX <name> "-" <pid>)
     in the folder KALVOR_STATUS_WINDOWS_FOLDER of %ProgramData% lives as long as the pipe:
     there a tool finds the pipes without listing them, which not every
     system running Windows programs allows.
   <name> is the plugin's name with every character other than a letter, a
   digit or "_" written as "_"; <pid> is the host's process id in decimal.

   How to ask: connect, send one request line ending in LF (CR LF is taken
   too; at most KALVOR_STATUS_REQUEST_LIMIT bytes), read the answer to its end
   (on Linux the plugin then closes; on Windows the answer is one message, and
   the client closes). Requests:
     status        the status as text, one "label: value" line each
     status json   the same as one JSON object on one line
     help          the requests
   Anything else is answered with a line starting "error: ". No request
   changes anything. Texts are UTF-8. */
#ifndef KALVOR_STATUS_CHANNEL_H
#define KALVOR_STATUS_CHANNEL_H

#define KALVOR_STATUS_FOLDER "/run/kalvor"
#define KALVOR_STATUS_FALLBACK_PREFIX "/tmp/kalvor-"
#define KALVOR_STATUS_PREFIX "kalvor-"
#define KALVOR_STATUS_SUFFIX ".sock"
#define KALVOR_STATUS_PIPE_PREFIX "\\\\.\\pipe\\kalvor-"
#define KALVOR_STATUS_WINDOWS_FOLDER "Kalvor\\status"
#define KALVOR_STATUS_REQUEST_LIMIT 256

#endif
