@echo off
rem Creates a menu database from sql\schema.sql, plus the demo menu of
rem sql\demo-data.sql with --demo, with the isql.exe of a Firebird install.
rem
rem usage: create-database.cmd DATABASE [--demo] [--force] [--isql PATH\isql.exe]
rem
rem DATABASE is a server path (127.0.0.1:C:\bases\vo.fdb: the server must run
rem and its account must be able to write the folder) or a local file path
rem (C:\bases\vo.fdb: the embedded engine, no server).
rem The user is ISC_USER (SYSDBA when unset) and the password is read from
rem ISC_PASSWORD, never from the command line, where other users of the
rem machine could read it:  set ISC_PASSWORD=...
rem An existing database is kept and the script stops, unless --force is
rem given: then it is dropped and created afresh, losing every menu and every
rem recorded action in it.
rem isql.exe is the one given with --isql, else the one in the folder the
rem FIREBIRD environment variable names, else the newest in
rem "Program Files\Firebird".
setlocal EnableExtensions DisableDelayedExpansion

set "DB="
set "DEMO="
set "FORCE="
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
set "SQL=%~dp0sql"
if not exist "%SQL%\schema.sql" (
  >&2 echo create-database: %SQL%\schema.sql is missing
  exit /b 1
)

if not defined ISQL if defined FIREBIRD set "ISQL=%FIREBIRD%\isql.exe"
if not defined ISQL for /d %%F in ("%ProgramFiles(x86)%\Firebird\Firebird_*") do set "ISQL=%%~F\isql.exe"
if not defined ISQL for /d %%F in ("%ProgramFiles%\Firebird\Firebird_*") do set "ISQL=%%~F\isql.exe"
if not defined ISQL goto no_isql
if not exist "%ISQL%" goto no_isql

if not defined ISC_USER set "ISC_USER=SYSDBA"
rem A server path names a host before its first colon; a local path has a
rem drive letter's colon second, or none.
set "SERVER="
set "SECOND=%DB:~1,1%"
if not "%DB::=%"=="%DB%" if not "%SECOND%"==":" set "SERVER=yes"
if defined SERVER if not defined ISC_PASSWORD (
  >&2 echo create-database: set ISC_PASSWORD to the password of %ISC_USER% on the server first
  exit /b 2
)

rem Firebird never creates a database over an existing file; the question is
rem only whether to drop one that is there.
set "EXISTS="
if not defined SERVER if exist "%DB%" set "EXISTS=yes"
if defined SERVER (
  echo SELECT 1 FROM RDB$DATABASE;| "%ISQL%" -q -bail "%DB%" >nul 2>&1 && set "EXISTS=yes"
)
if defined EXISTS if not defined FORCE (
  >&2 echo create-database: %DB% exists already and is kept; give --force to drop it and create it afresh
  exit /b 1
)
if defined EXISTS (
  echo DROP DATABASE;| "%ISQL%" -q -bail "%DB%"
  if errorlevel 1 (
    >&2 echo create-database: cannot drop %DB%
    exit /b 1
  )
)

echo CREATE DATABASE '%DB%' DEFAULT CHARACTER SET WIN1251;| "%ISQL%" -q -bail -sqldialect 1
if errorlevel 1 goto failed
"%ISQL%" -q -bail -sqldialect 1 -charset WIN1251 -i "%SQL%\schema.sql" "%DB%"
if errorlevel 1 goto failed
if defined DEMO "%ISQL%" -q -bail -sqldialect 1 -charset WIN1251 -i "%SQL%\demo-data.sql" "%DB%"
if errorlevel 1 goto failed
echo created %DB%
exit /b 0

:failed
>&2 echo create-database: creating %DB% failed (see isql's message above)
exit /b 1

:no_isql
>&2 echo create-database: isql.exe not found: give --isql PATH\isql.exe, or set FIREBIRD to the Firebird folder
exit /b 1

:usage
>&2 echo usage: create-database.cmd DATABASE [--demo] [--force] [--isql PATH\isql.exe]
>&2 echo   the password comes from ISC_PASSWORD, the user from ISC_USER (default SYSDBA)
exit /b 2
