@echo off
rem Removes the current user's registration of Vexa.Server that install.cmd
rem made. Usage: uninstall.cmd [x86^|x64]; without an argument every
rem architecture this Windows runs: x86, and on 64-bit Windows x64 too.
setlocal
set "here=%~dp0"
set "arches=%~1"
if not "%arches%"=="" goto run
set "arches=x86"
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "arches=x86 x64"
if defined PROCESSOR_ARCHITEW6432 set "arches=x86 x64"
:run
set failed=0
for %%a in (%arches%) do call :one %%a
endlocal & exit /b %failed%

:one
if not exist "%here%%1\vexa-setup.exe" (
  echo uninstall.cmd: no such architecture here: %1
  set failed=1
  goto :eof
)
"%here%%1\vexa-setup.exe" uninstall
if errorlevel 1 set failed=1
goto :eof
