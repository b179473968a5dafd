/* The plugin's own user: it may execute the six procedures and nothing else,
   so the plugin can neither read nor change a table by itself. Run it as the
   database's owner (SYSDBA); scripts/plugin-user.sh does, for another name
   than KALVOR too, and creates the user on a server first. Granting twice
   changes nothing, so the file may be run again, for example after the
   procedures were created anew.

   The procedures read and write their tables with their own rights, granted
   here, and the action trigger takes its number from the generator with its
   own. Tables and procedures of another design need the same kind of grants. */

GRANT SELECT ON MENUS TO PROCEDURE MENU_GET_START_ITEM;
GRANT SELECT ON MENU_ITEMS TO PROCEDURE MENU_GET_ITEM;
GRANT SELECT ON MENU_CONNECTIONS TO PROCEDURE MENU_GET_ITEM;
GRANT SELECT ON MENU_VOICE_PARAMS TO PROCEDURE MENU_GET_VOICE_ITEM_PARAMS;
GRANT SELECT ON MENU_COND_PARAMS TO PROCEDURE MENU_GET_COND_ITEM_PARAMS;
GRANT SELECT ON MENU_CONNECTION_ROWS TO PROCEDURE MENU_GET_CONNECTION;
GRANT INSERT ON MENU_ACTIONS TO PROCEDURE MENU_PROT_ACTIONS;
GRANT USAGE ON GENERATOR GEN_MENU_ACTIONS TO TRIGGER MENU_ACTIONS_BI;

GRANT EXECUTE ON PROCEDURE MENU_GET_START_ITEM TO USER KALVOR;
GRANT EXECUTE ON PROCEDURE MENU_GET_ITEM TO USER KALVOR;
GRANT EXECUTE ON PROCEDURE MENU_GET_VOICE_ITEM_PARAMS TO USER KALVOR;
GRANT EXECUTE ON PROCEDURE MENU_GET_COND_ITEM_PARAMS TO USER KALVOR;
GRANT EXECUTE ON PROCEDURE MENU_GET_CONNECTION TO USER KALVOR;
GRANT EXECUTE ON PROCEDURE MENU_PROT_ACTIONS TO USER KALVOR;

COMMIT;
