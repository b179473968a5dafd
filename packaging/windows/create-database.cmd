@echo off
rem Creates a menu database from sql\schema.sql, plus the demo menu of
rem sql\demo-data.sql with --demo, with the isql.exe of a Firebird install.
rem
rem usage: create-database.cmd DATABASE [--demo] [--force [--no-backup]]
rem                              [--isql PATH\isql.exe]
rem
rem DATABASE is a server path (127.0.0.1:C:\bases\vo.fdb: the server must run
rem and its account must be able to write the folder) or a local file path
rem (C:\bases\vo.fdb: the embedded engine, no server).
rem The user is ISC_USER (SYSDBA when unset) and the password is read from
rem ISC_PASSWORD, never from the command line, where other users of the
rem machine could read it:  set ISC_PASSWORD=...
rem An existing database is kept and the script stops, unless --force is
rem given: then it is backed up with gbak (beside isql.exe) to
rem DATABASE.backup-N.fbk beside itself (in the current folder for a database
rem on another machine), dropped and created afresh; --no-backup drops it
rem without a copy, losing every menu and every recorded action in it.
rem The name may hold any character a file name may, ' and & included: it
rem reaches isql only inside quotes, in SQL with ' doubled.
rem isql.exe is the one given with --isql, else the one in the folder the
rem FIREBIRD environment variable names, else the newest in
rem "Program Files\Firebird".
setlocal EnableExtensions DisableDelayedExpansion

set "DB="
set "DEMO="
set "FORCE="
set "BACKUP=yes"
set "ISQL="
:arguments
if "%~1"=="" goto parsed
if /i "%~1"=="--demo" (
  set "DEMO=yes"
  shift
  goto arguments
)
if /i "%~1"=="--force" (
  set "FORCE=yes"
  shift
  goto arguments
)
if /i "%~1"=="--no-backup" (
  set "BACKUP="
  shift
  goto arguments
)
if /i "%~1"=="--isql" (
  if "%~2"=="" goto usage
  set "ISQL=%~2"
  shift
  shift
  goto arguments
)
set "ARGUMENT=%~1"
if "%ARGUMENT:~0,1%"=="-" goto usage
if defined DB goto usage
set "DB=%~1"
shift
goto arguments

:parsed
if not defined DB goto usage
if not defined BACKUP if not defined FORCE goto usage
rem Until delayed expansion is on, the name is expanded inside double quotes
rem alone, where ^& and ^| are no commands.
rem A server path names a host before its first colon; a local path has a
rem drive letter's colon second, or none.
set "SERVER="
set "SECOND=%DB:~1,1%"
set "FILE=%DB%"
set "HOST="
if not "%DB::=%"=="%DB%" if not "%SECOND%"==":" set "SERVER=yes"
if defined SERVER for /f "tokens=1* delims=:" %%H in ("%DB%") do (
  set "HOST=%%H"
  set "FILE=%%I"
)
set "LOCAL="
if not defined SERVER set "LOCAL=yes"
if /i "%HOST%"=="localhost" set "LOCAL=yes"
if "%HOST%"=="127.0.0.1" set "LOCAL=yes"
set "QUOTED=%DB:'=''%"
rem From here on the name is expanded once each line has been read, so that
rem ^& or ^| in it stay characters of the name.
setlocal EnableDelayedExpansion
set "SQL=%~dp0sql"
if not exist "!SQL!\schema.sql" (
  >&2 echo create-database: !SQL!\schema.sql is missing
  exit /b 1
)

if not defined ISQL if defined FIREBIRD set "ISQL=!FIREBIRD!\isql.exe"
if not defined ISQL for /d %%F in ("%ProgramFiles(x86)%\Firebird\Firebird_*") do set "ISQL=%%~F\isql.exe"
if not defined ISQL for /d %%F in ("%ProgramFiles%\Firebird\Firebird_*") do set "ISQL=%%~F\isql.exe"
if not defined ISQL goto no_isql
if not exist "!ISQL!" goto no_isql

if not defined ISC_USER set "ISC_USER=SYSDBA"
if defined SERVER if not defined ISC_PASSWORD (
  >&2 echo create-database: set ISC_PASSWORD to the password of !ISC_USER! on the server first
  exit /b 2
)

rem Statements reach isql on its input from a file of their own: a pipe would
rem hand the name to another cmd to read again.
set "STATEMENTS=%TEMP%\kalvor-create-database-%RANDOM%%RANDOM%.sql"

rem Firebird never creates a database over an existing file; the question is
rem only whether to drop one that is there.
set "EXISTS="
if not defined SERVER if exist "!DB!" set "EXISTS=yes"
if defined SERVER (
  > "!STATEMENTS!" echo SELECT 1 FROM RDB$DATABASE;
  "!ISQL!" -q -bail "!DB!" < "!STATEMENTS!" >nul 2>&1
  if not errorlevel 1 set "EXISTS=yes"
)
if defined EXISTS if not defined FORCE (
  del "!STATEMENTS!" 2>nul
  >&2 echo create-database: !DB! exists already and is kept; give --force to back it up, drop it and create it afresh
  exit /b 1
)
if defined EXISTS if defined BACKUP (
  call :back_up
  if errorlevel 1 goto failed_early
)
if defined EXISTS (
  > "!STATEMENTS!" echo DROP DATABASE;
  "!ISQL!" -q -bail "!DB!" < "!STATEMENTS!"
  if errorlevel 1 (
    del "!STATEMENTS!" 2>nul
    >&2 echo create-database: cannot drop !DB!
    exit /b 1
  )
)

> "!STATEMENTS!" echo CREATE DATABASE '!QUOTED!' DEFAULT CHARACTER SET WIN1251;
"!ISQL!" -q -bail -sqldialect 1 < "!STATEMENTS!"
if errorlevel 1 goto failed
"!ISQL!" -q -bail -sqldialect 1 -charset WIN1251 -i "!SQL!\schema.sql" "!DB!"
if errorlevel 1 goto failed
if defined DEMO "!ISQL!" -q -bail -sqldialect 1 -charset WIN1251 -i "!SQL!\demo-data.sql" "!DB!"
if errorlevel 1 goto failed
del "!STATEMENTS!" 2>nul
echo created !DB!
exit /b 0

rem A new name beside the database (or here, for another machine's): gbak
rem writes the copy on this machine.
:back_up
for %%F in ("!ISQL!") do set "GBAK=%%~dpFgbak.exe"
set "BASE=!FILE!"
if not defined LOCAL for %%F in ("!FILE!") do set "BASE=%CD%\%%~nxF"
set /a NUMBER=1
:next_backup_name
set "COPY=!BASE!.backup-!NUMBER!.fbk"
if exist "!COPY!" (
  set /a NUMBER+=1
  goto next_backup_name
)
"!GBAK!" -b "!DB!" "!COPY!"
if errorlevel 1 (
  del "!COPY!" 2>nul
  >&2 echo create-database: !DB! could not be backed up; it was left as it is. --force --no-backup drops it without a copy.
  exit /b 1
)
echo backed up !DB! to !COPY! (gbak -c restores it)
exit /b 0

:failed_early
del "!STATEMENTS!" 2>nul
exit /b 1

:failed
del "!STATEMENTS!" 2>nul
>&2 echo create-database: creating !DB! failed (see isql's message above)
exit /b 1

:no_isql
>&2 echo create-database: isql.exe not found: give --isql PATH\isql.exe, or set FIREBIRD to the Firebird folder
exit /b 1

:usage
>&2 echo usage: create-database.cmd DATABASE [--demo] [--force [--no-backup]] [--isql PATH\isql.exe]
>&2 echo   the password comes from ISC_PASSWORD, the user from ISC_USER (default SYSDBA)
exit /b 2
