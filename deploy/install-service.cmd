@echo off
rem Installs the Tarnu input helper as the Windows service TarnuInputService and starts it.
rem   install-service.cmd [path\to\tarnu-input-helper.exe]
rem Without an argument the executable next to this script is used. Run it from an
rem elevated prompt. The service runs as LocalSystem (it moves its token into the console
rem session to start the worker there), starts with Windows, and is restarted when its
rem process dies.
setlocal
set "SERVICE=TarnuInputService"
if "%~1"=="" (set "EXE=%~dp0tarnu-input-helper.exe") else (set "EXE=%~f1")
if not exist "%EXE%" (
  echo install-service: "%EXE%" not found
  exit /b 2
)

rem The service control manager starts the quoted path with the single argument --service.
sc.exe create "%SERVICE%" binPath= "\"%EXE%\" --service" start= auto obj= LocalSystem DisplayName= "Tarnu input helper"
if errorlevel 1 (
  echo install-service: could not create %SERVICE%; if it is installed already, run uninstall-service.cmd first
  exit /b 1
)
sc.exe description "%SERVICE%" "Carries out the keyboard and mouse input of Tarnu remote sessions on every desktop of the console session, sign-in screen and UAC prompts included."
if errorlevel 1 goto undo
rem Restart 5 s after each of the first two failures, 30 s after later ones; forget failures
rem after a day without one.
sc.exe failure "%SERVICE%" reset= 86400 actions= restart/5000/restart/5000/restart/30000
if errorlevel 1 goto undo
sc.exe start "%SERVICE%" >nul
if errorlevel 1 (
  echo install-service: %SERVICE% is installed but did not start
  exit /b 1
)
echo install-service: %SERVICE% installed and started
exit /b 0

:undo
echo install-service: configuring %SERVICE% failed; removing it again
sc.exe delete "%SERVICE%" >nul
exit /b 1
