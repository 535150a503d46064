@echo off
rem Installs the Tarnu input helper as the Windows service TarnuInputService and starts it.
rem   install-service.cmd [path\to\tarnu-input-helper.exe]
rem Without an argument the executable next to this script is used. Run it from an
rem elevated prompt. The executable is copied into the Tarnu folder under Program Files and
rem that copy is registered: a service must never run a file from a folder that others can
rem write to (a Downloads folder, say), or they could run their own code as LocalSystem. The
rem service runs as LocalSystem (it moves its token into the console session to start the
rem worker there), starts with Windows, and is restarted when its process dies.
setlocal DisableDelayedExpansion
rem The script runs elevated, perhaps from such a folder: programs are run from System32 by
rem their full paths, and cmd does not look for them in the current folder either.
set "NoDefaultCurrentDirectoryInExePath=1"
set "SC=%SystemRoot%\System32\sc.exe"
set "REG=%SystemRoot%\System32\reg.exe"
set "ICACLS=%SystemRoot%\System32\icacls.exe"
set "SERVICE=TarnuInputService"
set "EVENT_SOURCE=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\TarnuInputService"
rem Program Files as the machine has it, not the caller's ProgramFiles variable.
call :program_files_folder
if not defined PROGRAM_FILES (
  echo install-service: the Program Files folder is not in the registry
  exit /b 1
)
set "FOLDER=%PROGRAM_FILES%\Tarnu"
set "EXE=%PROGRAM_FILES%\Tarnu\tarnu-input-helper.exe"
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
"!SC!" query "!SERVICE!" >nul 2>&1
if not errorlevel 1 (
  echo install-service: !SERVICE! is installed already; run uninstall-service.cmd first
  exit /b 1
)
if not exist "!FOLDER!\" mkdir "!FOLDER!"
rem A folder that was there already may have been made, or opened up, by someone else: before
rem the executable goes in, Administrators become the owner of it and of everything in it,
rem and their permissions are replaced by those that Program Files hands down.
"!ICACLS!" "!FOLDER!" /setowner *S-1-5-32-544 /t /q >nul
if errorlevel 1 goto permissions_failed
"!ICACLS!" "!FOLDER!" /reset /t /q >nul
if errorlevel 1 goto permissions_failed
copy /y "!SOURCE!" "!EXE!" >nul
if errorlevel 1 (
  echo install-service: could not copy the executable into "!FOLDER!"; run this from an elevated prompt
  exit /b 1
)

rem The service control manager starts the quoted path with the single argument --service.
"!SC!" create "!SERVICE!" binPath= "\"!EXE!\" --service" start= auto obj= LocalSystem DisplayName= "Tarnu input helper"
if errorlevel 1 (
  echo install-service: could not create !SERVICE!
  goto remove_copy
)
"!SC!" description "!SERVICE!" "Carries out the keyboard and mouse input of Tarnu remote sessions on every desktop of the console session, sign-in screen and UAC prompts included."
if errorlevel 1 goto undo
rem Restart 5 s after each of the first two failures, 30 s after later ones; forget failures
rem after a day without one.
"!SC!" failure "!SERVICE!" reset= 86400 actions= restart/5000/restart/5000/restart/30000
if errorlevel 1 goto undo
rem The event source: the Application log reads the texts of the service's events from the
rem executable's message table.
"!REG!" add "!EVENT_SOURCE!" /v EventMessageFile /t REG_SZ /d "!EXE!" /f >nul
if errorlevel 1 goto undo
"!REG!" add "!EVENT_SOURCE!" /v TypesSupported /t REG_DWORD /d 7 /f >nul
if errorlevel 1 goto undo
"!SC!" start "!SERVICE!" >nul
if errorlevel 1 (
  echo install-service: !SERVICE! is installed but did not start
  exit /b 1
)
echo install-service: !SERVICE! installed and started from "!EXE!"
exit /b 0

:undo
echo install-service: configuring !SERVICE! failed; removing it again
"!SC!" delete "!SERVICE!" >nul
"!REG!" delete "!EVENT_SOURCE!" /f >nul 2>&1
:remove_copy
del "!EXE!" >nul 2>&1
rd "!FOLDER!" >nul 2>&1
exit /b 1

:permissions_failed
echo install-service: could not reset the permissions of "!FOLDER!"; run this from an elevated prompt
exit /b 1

rem PROGRAM_FILES = ProgramFilesDir of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion in the
rem 64-bit view, or undefined. Only the program's path is quoted in the for command, so
rem that cmd keeps the quotes.
:program_files_folder
set "PROGRAM_FILES="
for /f "tokens=1,2,*" %%a in ('"%REG%" query HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion /v ProgramFilesDir /reg:64 2^>nul') do (
  if "%%a"=="ProgramFilesDir" if "%%b"=="REG_SZ" set "PROGRAM_FILES=%%c"
)
exit /b 0
