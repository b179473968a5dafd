/* Stands in for Firebird's isql.exe and gbak.exe when create-database.cmd
   runs under wine: appends its arguments, and what it read from its input
   when no -i script was given, to isql.log in the working folder, and
   succeeds, unless FAKE_ISQL_FAILS is set. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  FILE* log = fopen("isql.log", "a");
  if (log == NULL) return 1;
  int script = 0;
  for (int index = 1; index < argc; ++index) {
    fprintf(log, "%s ", argv[index]);
    script |= strcmp(argv[index], "-i") == 0;
  }
  fputc('\n', log);
  for (int c = script ? EOF : getchar(); c != EOF; c = getchar()) fputc(c, log);
  fclose(log);
  return getenv("FAKE_ISQL_FAILS") != NULL ? 1 : 0;
}
