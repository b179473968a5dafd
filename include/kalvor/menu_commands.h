/* The command buffers of the Kalvor dynamic menu plugin: the envelope every
   buffer starts with, the result codes, and the layouts of commands 100, 101
   and 102. Plain C (C99 and C++); the plugin's own code takes its offsets from
   this file.

   Every number is a 32-bit little-endian integer at any alignment: read and
   write them with kalvor_get_u32 / kalvor_put_u32 below. Offsets count bytes
   from the start of the structure holding the offset field: the buffer for the
   fixed part, the parameter block for its fields, the row for a row's fields.
   A text is an offset and a length (no terminator) of Windows-1251 bytes; a
   database NULL arrives as an empty text. */
#ifndef KALVOR_MENU_COMMANDS_H
#define KALVOR_MENU_COMMANDS_H

#include <stdint.h>

/* The envelope: the first 16 bytes of every buffer. */
#define KALVOR_ENVELOPE_LENGTH 16u
#define KALVOR_ENVELOPE_SIZE 0u         /* unsigned: the whole buffer's length */
#define KALVOR_ENVELOPE_COMMAND 4u      /* signed: 100, 101 or 102 */
#define KALVOR_ENVELOPE_OUTCOME 8u      /* written by the plugin: 0 success, else 1 */
#define KALVOR_ENVELOPE_RESULT_CODE 12u /* written by the plugin: a KALVOR_RESULT_ code */

/* Result codes. */
#define KALVOR_RESULT_SUCCESS 0
#define KALVOR_RESULT_PROCESSING_FAILED 1 /* the database step failed for good */
/* The buffer is too small, or the menu, item or parameters were not found. */
#define KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND 2
#define KALVOR_RESULT_UNKNOWN_COMMAND 3

/* Command numbers, in the envelope's command word. */
#define KALVOR_CMD_GET_START_ITEM 100
#define KALVOR_CMD_GET_ITEM_DESC 101
#define KALVOR_CMD_POST_ACTION 102

/* Command 100, start item of a menu: the answer is written into the
   plugin's copy of the request, handed to the callback (the host's own
   buffer is never written). */
#define KALVOR_START_ITEM_MENU_ID 16u       /* request, signed */
#define KALVOR_START_ITEM_START_ITEM_ID 20u /* answer, signed; written only when found */
#define KALVOR_START_ITEM_LENGTH 24u        /* minimum buffer length */

/* Command 102, record an action: answered in the plugin's copy of the
   request, only the envelope changes. */
#define KALVOR_ACTION_SESSION_ID 16u      /* signed */
#define KALVOR_ACTION_ITEM_ID 20u         /* signed */
#define KALVOR_ACTION_ITEM_KEY_OFFSET 24u /* from the start of the buffer */
#define KALVOR_ACTION_ITEM_KEY_LENGTH 28u /* 0: empty key, the offset is not read */
#define KALVOR_ACTION_LENGTH 32u          /* minimum buffer length, key bytes not counted */

/* Command 101, item description. The request is at least 60 bytes and only
   menu_item_id is read. A successful answer comes in a new buffer of exactly
   60 bytes plus, without gaps: the parameter block, the item name, the
   connection name and the connection rows; size is its length. */
#define KALVOR_ITEM_MENU_ITEM_ID 16u
#define KALVOR_ITEM_SERVICE_ID 20u    /* KALVOR_SERVICE_ kind; others have no parameter block */
#define KALVOR_ITEM_PARAMS_OFFSET 24u /* always 60 */
#define KALVOR_ITEM_PARAMS_SIZE 28u   /* 0 without a parameter block */
#define KALVOR_ITEM_NAME_OFFSET 32u
#define KALVOR_ITEM_NAME_LENGTH 36u
#define KALVOR_ITEM_CONNECTION_ID 40u /* KALVOR_NO_CONNECTION when the item has none */
#define KALVOR_ITEM_CONNECTION_NAME_OFFSET 44u
#define KALVOR_ITEM_CONNECTION_NAME_LENGTH 48u
#define KALVOR_ITEM_CONNECTIONS_OFFSET 52u /* first row; equals size when there are none */
#define KALVOR_ITEM_CONNECTIONS_COUNT 56u
#define KALVOR_ITEM_LENGTH 60u /* the fixed part, and the request's minimum length */

/* Item kinds (menu_service_id). */
#define KALVOR_SERVICE_VOICE 1
#define KALVOR_SERVICE_CONDITION 2

/* Voice parameter block: a 28-byte head, the synthesis list, the macro name.
   Note the order: the time-out lies before the repeat count. */
#define KALVOR_VOICE_SYNTHEZ_LIST_OFFSET 0u /* always 28 */
#define KALVOR_VOICE_SYNTHEZ_LIST_LENGTH 4u
#define KALVOR_VOICE_SYNTHEZ_PLACE 8u
#define KALVOR_VOICE_TIMEOUT 12u
#define KALVOR_VOICE_REPEAT_COUNT 16u
#define KALVOR_VOICE_MACRO_NAME_OFFSET 20u
#define KALVOR_VOICE_MACRO_NAME_LENGTH 24u
#define KALVOR_VOICE_HEAD_LENGTH 28u

/* Condition parameter block: a 16-byte head, the processor name, the data,
   then 8 bytes that carry nothing (params_size counts them). */
#define KALVOR_CONDITION_PLUGIN_OFFSET 0u /* always 16 */
#define KALVOR_CONDITION_PLUGIN_LENGTH 4u
#define KALVOR_CONDITION_DATA_OFFSET 8u
#define KALVOR_CONDITION_DATA_LENGTH 12u
#define KALVOR_CONDITION_HEAD_LENGTH 16u
#define KALVOR_CONDITION_TAIL_LENGTH 8u

/* One connection row: a 24-byte head, the key, the way description; the next
   row starts row_size bytes after this one. */
#define KALVOR_ROW_SIZE 0u
#define KALVOR_ROW_KEY_OFFSET 4u /* always 24 */
#define KALVOR_ROW_KEY_LENGTH 8u
#define KALVOR_ROW_ITEM_ID 12u /* the item the key leads to, signed */
#define KALVOR_ROW_WAY_DESC_OFFSET 16u
#define KALVOR_ROW_WAY_DESC_LENGTH 20u
#define KALVOR_ROW_HEAD_LENGTH 24u

/* What the answer holds where the database gives NULL. */
#define KALVOR_NO_CONNECTION (-1)
#define KALVOR_MISSING_TIMEOUT (-1)
#define KALVOR_MISSING_REPEAT_COUNT 1
#define KALVOR_MISSING_SYNTHEZ_PLACE 0

static inline uint32_t kalvor_get_u32(const void* buffer, uint32_t offset) {
  const uint8_t* at = (const uint8_t*)buffer + offset;
  return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

static inline int32_t kalvor_get_i32(const void* buffer, uint32_t offset) {
  return (int32_t)kalvor_get_u32(buffer, offset);
}

static inline void kalvor_put_u32(void* buffer, uint32_t offset, uint32_t value) {
  uint8_t* at = (uint8_t*)buffer + offset;
  at[0] = (uint8_t)value;
  at[1] = (uint8_t)(value >> 8);
  at[2] = (uint8_t)(value >> 16);
  at[3] = (uint8_t)(value >> 24);
}

#endif
