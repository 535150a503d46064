@echo off
rem Installs the Tarnu input helper as the Windows service TarnuInputService and starts it.
rem   install-service.cmd [path\to\tarnu-input-helper.exe]
rem Without an argument the executable next to this script is used. Run it from an
rem elevated prompt. The executable is copied into %ProgramFiles%\Tarnu and that copy is
rem registered: a service must never run a file from a folder that others can write to (a
rem Downloads folder, say), or they could run their own code as LocalSystem. The service
rem runs as LocalSystem (it moves its token into the console session to start the worker
rem there), starts with Windows, and is restarted when its process dies.
setlocal DisableDelayedExpansion
set "SERVICE=TarnuInputService"
set "FOLDER=%ProgramFiles%\Tarnu"
set "EXE=%ProgramFiles%\Tarnu\tarnu-input-helper.exe"
rem The source path may hold spaces, &, ^ and %: it is expanded with %...% exactly once,
rem inside quotes, and from then on only as !SOURCE!, whose value cmd never parses again.
if "%~1"=="" goto default_source
set "SOURCE=%~f1"
goto have_source
:default_source
set "SOURCE=%~dp0tarnu-input-helper.exe"
:have_source
setlocal EnableDelayedExpansion
if not exist "!SOURCE!" (
  echo install-service: "!SOURCE!" not found
  exit /b 2
)

rem An installed service keeps its executable: replacing it is uninstall-service.cmd's job.
sc.exe query "!SERVICE!" >nul 2>&1
if not errorlevel 1 (
  echo install-service: !SERVICE! is installed already; run uninstall-service.cmd first
  exit /b 1
)
if not exist "!FOLDER!\" mkdir "!FOLDER!"
copy /y "!SOURCE!" "!EXE!" >nul
if errorlevel 1 (
  echo install-service: could not copy the executable into "!FOLDER!"; run this from an elevated prompt
  exit /b 1
)

rem The service control manager starts the quoted path with the single argument --service.
sc.exe create "!SERVICE!" binPath= "\"!EXE!\" --service" start= auto obj= LocalSystem DisplayName= "Tarnu input helper"
if errorlevel 1 (
  echo install-service: could not create !SERVICE!
  goto remove_copy
)
sc.exe description "!SERVICE!" "Carries out the keyboard and mouse input of Tarnu remote sessions on every desktop of the console session, sign-in screen and UAC prompts included."
if errorlevel 1 goto undo
rem Restart 5 s after each of the first two failures, 30 s after later ones; forget failures
rem after a day without one.
sc.exe failure "!SERVICE!" reset= 86400 actions= restart/5000/restart/5000/restart/30000
if errorlevel 1 goto undo
sc.exe start "!SERVICE!" >nul
if errorlevel 1 (
  echo install-service: !SERVICE! is installed but did not start
  exit /b 1
)
echo install-service: !SERVICE! installed and started from "!EXE!"
exit /b 0

:undo
echo install-service: configuring !SERVICE! failed; removing it again
sc.exe delete "!SERVICE!" >nul
:remove_copy
del "!EXE!" >nul 2>&1
rd "!FOLDER!" >nul 2>&1
exit /b 1
