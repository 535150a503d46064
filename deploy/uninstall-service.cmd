@echo off
rem Stops the service TarnuInputService (which ends its worker), removes it, and deletes the
rem copy of the executable that install-service.cmd put into the Tarnu folder under Program
rem Files (and the folder when nothing else is in it).
rem   uninstall-service.cmd
rem Run it from an elevated prompt. Removing a service that is not installed is not an error.
setlocal DisableDelayedExpansion
rem As in install-service.cmd: programs from System32 by full path, none from the current
rem folder, and Program Files as the machine has it.
set "NoDefaultCurrentDirectoryInExePath=1"
set "SC=%SystemRoot%\System32\sc.exe"
set "REG=%SystemRoot%\System32\reg.exe"
set "PING=%SystemRoot%\System32\PING.EXE"
set "SERVICE=TarnuInputService"
call :program_files_folder
if not defined PROGRAM_FILES (
  echo uninstall-service: the Program Files folder is not in the registry
  exit /b 1
)
set "FOLDER=%PROGRAM_FILES%\Tarnu"
set "EXE=%PROGRAM_FILES%\Tarnu\tarnu-input-helper.exe"
call :query_state
if not defined STATE (
  call :remove_copy
  echo uninstall-service: %SERVICE% is not installed
  exit /b 0
)

rem A service that is not running refuses the stop, which is fine; one that still runs after
rem a refused stop cannot be stopped by this account.
"%SC%" stop "%SERVICE%" >nul 2>&1
if not errorlevel 1 goto wait
call :query_state
if "%STATE%"=="4" (
  echo uninstall-service: could not stop %SERVICE%; run this from an elevated prompt
  exit /b 1
)

rem Wait for STOPPED, so that the delete does not leave a running service behind, marked
rem for deletion.
:wait
set /a TRIES=0
:wait_stopped
call :query_state
if "%STATE%"=="1" goto stopped
set /a TRIES+=1
if %TRIES% geq 30 (
  echo uninstall-service: %SERVICE% did not stop within 30 seconds
  exit /b 1
)
"%PING%" -n 2 127.0.0.1 >nul
goto wait_stopped

:stopped
"%SC%" delete "%SERVICE%" >nul
if errorlevel 1 (
  echo uninstall-service: could not delete %SERVICE%; run this from an elevated prompt
  exit /b 1
)
rem The event source goes with the service; events already written stay in the log.
"%REG%" delete "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%SERVICE%" /f >nul 2>&1
call :remove_copy
if errorlevel 1 (
  echo uninstall-service: %SERVICE% removed, but "%EXE%" could not be deleted
  exit /b 1
)
echo uninstall-service: %SERVICE% stopped and removed
exit /b 0

rem Deletes the installed copy, waiting up to 10 s for the ended worker to let go of it, then
rem the folder if it is empty; errorlevel 1 when the copy stays.
:remove_copy
set /a TRIES=0
:remove_copy_again
if not exist "%EXE%" goto remove_folder
del "%EXE%" >nul 2>&1
if not exist "%EXE%" goto remove_folder
set /a TRIES+=1
if %TRIES% geq 10 exit /b 1
"%PING%" -n 2 127.0.0.1 >nul
goto remove_copy_again
:remove_folder
rd "%FOLDER%" >nul 2>&1
exit /b 0

rem STATE = the service's state number (1 stopped, 4 running, ...), or undefined when the
rem service is not installed. The number is read rather than the word, which is the same in
rem every language. Only the program's path is quoted in the for command, so that cmd keeps
rem the quotes.
:query_state
set "STATE="
for /f "tokens=1,3" %%a in ('"%SC%" query %SERVICE% 2^>nul') do if "%%a"=="STATE" set "STATE=%%b"
exit /b 0

rem PROGRAM_FILES = ProgramFilesDir of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion in the
rem 64-bit view, or undefined.
:program_files_folder
set "PROGRAM_FILES="
for /f "tokens=1,2,*" %%a in ('"%REG%" query HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion /v ProgramFilesDir /reg:64 2^>nul') do (
  if "%%a"=="ProgramFilesDir" if "%%b"=="REG_SZ" set "PROGRAM_FILES=%%c"
)
exit /b 0
