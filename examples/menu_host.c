/* A minimal host in C: loads the plugin (dlopen, or LoadLibrary on Windows),
   asks for the start item of a menu (command 100), describes that item
   (command 101) and records a key pressed on it (command 102), waiting for
   each callback in turn. The entry points and the callback are declared with
   KALVOR_CALL: on 32-bit Windows they are __stdcall, and a host that calls
   them as __cdecl corrupts its stack.

   usage: menu_host PLUGIN MENU_ID SESSION_ID KEY
   Build: cc -std=c99 -I include examples/menu_host.c -ldl -lpthread
          i686-w64-mingw32-gcc -std=c99 -I include examples/menu_host.c -o menu_host.exe */
#ifdef _WIN32
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 /* Vista, for condition variables: the plugin needs it too */
#endif
#include <windows.h>
#else
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <pthread.h>
#endif

#include <kalvor/menu_commands.h>
#include <kalvor/plugin.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The few operating-system calls a host needs: loading a library, and a lock
   with a condition to wait for the callback. */
#ifdef _WIN32
typedef HMODULE library_handle;
typedef CRITICAL_SECTION box_lock;
typedef CONDITION_VARIABLE box_condition;

static library_handle open_library(const char* path) {
  return LoadLibraryA(path);
}
static void close_library(library_handle library) {
  FreeLibrary(library);
}
static void report_load_failure(const char* path) {
  fprintf(stderr, "%s: LoadLibrary failed with error %lu\n", path, (unsigned long)GetLastError());
}
/* Stores the entry's address into *slot, a function pointer of the entry's type. */
static int find_entry(library_handle library, const char* name, void* slot) {
  FARPROC entry = GetProcAddress(library, name);
  memcpy(slot, &entry, sizeof entry);
  return entry != NULL;
}
static void init_lock(box_lock* lock) {
  InitializeCriticalSection(lock);
}
static void init_condition(box_condition* condition) {
  InitializeConditionVariable(condition);
}
static void lock_box(box_lock* lock) {
  EnterCriticalSection(lock);
}
static void unlock_box(box_lock* lock) {
  LeaveCriticalSection(lock);
}
static void wait_box(box_condition* condition, box_lock* lock) {
  SleepConditionVariableCS(condition, lock, INFINITE);
}
static void signal_box(box_condition* condition) {
  WakeConditionVariable(condition);
}
#else
typedef void* library_handle;
typedef pthread_mutex_t box_lock;
typedef pthread_cond_t box_condition;

static library_handle open_library(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
static void close_library(library_handle library) {
  dlclose(library);
}
static void report_load_failure(const char* path) {
  fprintf(stderr, "%s: %s\n", path, dlerror());
}
static int find_entry(library_handle library, const char* name, void* slot) {
  void* entry = dlsym(library, name);
  memcpy(slot, &entry, sizeof entry);
  return entry != NULL;
}
static void init_lock(box_lock* lock) {
  pthread_mutex_init(lock, NULL);
}
static void init_condition(box_condition* condition) {
  pthread_cond_init(condition, NULL);
}
static void lock_box(box_lock* lock) {
  pthread_mutex_lock(lock);
}
static void unlock_box(box_lock* lock) {
  pthread_mutex_unlock(lock);
}
static void wait_box(box_condition* condition, box_lock* lock) {
  pthread_cond_wait(condition, lock);
}
static void signal_box(box_condition* condition) {
  pthread_cond_signal(condition);
}
#endif

/* The answer the callback copied out of the plugin's buffer. */
struct answer_box {
  box_lock lock;
  box_condition arrived;
  uint8_t* buffer;
  uint32_t length;
};

static struct answer_box box;

/* Runs on the plugin's thread; the buffer is freed when this returns. */
static void KALVOR_CALL on_answer(int32_t command_id, const char* name, void* buffer, int32_t size,
                                  intptr_t user_value) {
  (void)command_id;
  (void)name;
  (void)user_value;
  uint8_t* copy = malloc((size_t)size);
  if (copy != NULL) memcpy(copy, buffer, (size_t)size);
  lock_box(&box.lock);
  box.buffer = copy;
  box.length = copy != NULL ? (uint32_t)size : 0;
  signal_box(&box.arrived);
  unlock_box(&box.lock);
}

struct plugin {
  void(KALVOR_CALL* init)(char**, Callback, intptr_t);
  int32_t(KALVOR_CALL* command)(int32_t, void*, int32_t);
  void(KALVOR_CALL* finalize)(void);
};

/* Sends one command and returns its answer (malloc'd), or NULL. */
static uint8_t* send_command(const struct plugin* plugin, uint8_t* request, uint32_t length) {
  lock_box(&box.lock);
  box.buffer = NULL;
  unlock_box(&box.lock);
  if (plugin->command(kalvor_get_i32(request, KALVOR_ENVELOPE_COMMAND), request, (int32_t)length) !=
      KALVOR_COMMAND_QUEUED)
    return NULL;
  lock_box(&box.lock);
  while (box.buffer == NULL) wait_box(&box.arrived, &box.lock);
  uint8_t* answer = box.buffer;
  unlock_box(&box.lock);
  return answer;
}

static void put_envelope(uint8_t* request, uint32_t length, int32_t command) {
  memset(request, 0, length);
  kalvor_put_u32(request, KALVOR_ENVELOPE_SIZE, length);
  kalvor_put_u32(request, KALVOR_ENVELOPE_COMMAND, (uint32_t)command);
}

static int failed(const uint8_t* answer, const char* what) {
  if (answer == NULL) {
    fprintf(stderr, "%s: not queued\n", what);
    return 1;
  }
  const int32_t result = kalvor_get_i32(answer, KALVOR_ENVELOPE_RESULT_CODE);
  if (kalvor_get_i32(answer, KALVOR_ENVELOPE_OUTCOME) == 0) return 0;
  fprintf(stderr, "%s: result code %d%s\n", what, (int)result,
          result == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND ? " (not found)" : "");
  return 1;
}

static int32_t start_item(const struct plugin* plugin, int32_t menu_id) {
  uint8_t request[KALVOR_START_ITEM_LENGTH];
  put_envelope(request, sizeof request, KALVOR_CMD_GET_START_ITEM);
  kalvor_put_u32(request, KALVOR_START_ITEM_MENU_ID, (uint32_t)menu_id);
  uint8_t* answer = send_command(plugin, request, sizeof request);
  int32_t item_id = -1;
  if (!failed(answer, "command 100"))
    item_id = kalvor_get_i32(answer, KALVOR_START_ITEM_START_ITEM_ID);
  free(answer);
  return item_id;
}

static void print_text(const char* label, const uint8_t* base, uint32_t offset, uint32_t length) {
  printf("%s \"%.*s\"", label, (int)length, (const char*)base + offset);
}

static void print_voice(const uint8_t* block) {
  print_text("  prompt", block, kalvor_get_u32(block, KALVOR_VOICE_SYNTHEZ_LIST_OFFSET),
             kalvor_get_u32(block, KALVOR_VOICE_SYNTHEZ_LIST_LENGTH));
  int32_t timeout = kalvor_get_i32(block, KALVOR_VOICE_TIMEOUT);
  printf(", repeat %d, time-out %s%d\n", (int)kalvor_get_i32(block, KALVOR_VOICE_REPEAT_COUNT),
         timeout == KALVOR_MISSING_TIMEOUT ? "none " : "", (int)timeout);
}

static void print_rows(const uint8_t* answer) {
  uint32_t row = kalvor_get_u32(answer, KALVOR_ITEM_CONNECTIONS_OFFSET);
  uint32_t count = kalvor_get_u32(answer, KALVOR_ITEM_CONNECTIONS_COUNT);
  for (uint32_t index = 0; index < count; ++index) {
    const uint8_t* at = answer + row;
    print_text("  key", at, kalvor_get_u32(at, KALVOR_ROW_KEY_OFFSET),
               kalvor_get_u32(at, KALVOR_ROW_KEY_LENGTH));
    printf(" -> item %d\n", (int)kalvor_get_i32(at, KALVOR_ROW_ITEM_ID));
    row += kalvor_get_u32(at, KALVOR_ROW_SIZE);
  }
}

static int describe_item(const struct plugin* plugin, int32_t item_id) {
  uint8_t request[KALVOR_ITEM_LENGTH];
  put_envelope(request, sizeof request, KALVOR_CMD_GET_ITEM_DESC);
  kalvor_put_u32(request, KALVOR_ITEM_MENU_ITEM_ID, (uint32_t)item_id);
  uint8_t* answer = send_command(plugin, request, sizeof request);
  if (failed(answer, "command 101")) {
    free(answer);
    return 1;
  }
  const int32_t kind = kalvor_get_i32(answer, KALVOR_ITEM_SERVICE_ID);
  printf("item %d, kind %d, %u connection rows, %u bytes\n", (int)item_id, (int)kind,
         (unsigned)kalvor_get_u32(answer, KALVOR_ITEM_CONNECTIONS_COUNT),
         (unsigned)kalvor_get_u32(answer, KALVOR_ENVELOPE_SIZE));
  if (kind == KALVOR_SERVICE_VOICE)
    print_voice(answer + kalvor_get_u32(answer, KALVOR_ITEM_PARAMS_OFFSET));
  print_rows(answer);
  free(answer);
  return 0;
}

static int record_key(const struct plugin* plugin, int32_t session, int32_t item_id,
                      const char* key) {
  const uint32_t key_length = (uint32_t)strlen(key);
  const uint32_t length = KALVOR_ACTION_LENGTH + key_length;
  uint8_t* request = malloc(length);
  if (request == NULL) return 1;
  put_envelope(request, length, KALVOR_CMD_POST_ACTION);
  kalvor_put_u32(request, KALVOR_ACTION_SESSION_ID, (uint32_t)session);
  kalvor_put_u32(request, KALVOR_ACTION_ITEM_ID, (uint32_t)item_id);
  kalvor_put_u32(request, KALVOR_ACTION_ITEM_KEY_OFFSET, KALVOR_ACTION_LENGTH);
  kalvor_put_u32(request, KALVOR_ACTION_ITEM_KEY_LENGTH, key_length);
  memcpy(request + KALVOR_ACTION_LENGTH, key, key_length);
  uint8_t* answer = send_command(plugin, request, length);
  free(request);
  const int status = failed(answer, "command 102");
  if (status == 0)
    printf("recorded key \"%s\" on item %d in session %d\n", key, (int)item_id, (int)session);
  free(answer);
  return status;
}

static int run(const struct plugin* plugin, int32_t menu_id, int32_t session, const char* key) {
  char* name = NULL;
  plugin->init(&name, on_answer, 0);
  printf("plugin %s\n", name);
  int status = 1;
  const int32_t item_id = start_item(plugin, menu_id);
  if (item_id != -1) {
    printf("menu %d starts at item %d\n", (int)menu_id, (int)item_id);
    status = describe_item(plugin, item_id) || record_key(plugin, session, item_id, key);
  }
  plugin->finalize();
  return status;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s PLUGIN MENU_ID SESSION_ID KEY\n", argv[0]);
    return 2;
  }
  library_handle library = open_library(argv[1]);
  if (library == NULL) {
    report_load_failure(argv[1]);
    return 3;
  }
  init_lock(&box.lock);
  init_condition(&box.arrived);
  struct plugin plugin;
  int status = 3;
  if (find_entry(library, "Init_Plugin", &plugin.init) &&
      find_entry(library, "Command_Plugin", &plugin.command) &&
      find_entry(library, "Finalize_Plugin", &plugin.finalize))
    status = run(&plugin, atoi(argv[2]), atoi(argv[3]), argv[4]);
  close_library(library);
  return status;
}
