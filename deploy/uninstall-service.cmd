@echo off
rem Stops the service TarnuInputService (which ends its worker) and removes it.
rem   uninstall-service.cmd
rem Run it from an elevated prompt. Removing a service that is not installed is not an error.
setlocal
set "SERVICE=TarnuInputService"
call :query_state
if not defined STATE (
  echo uninstall-service: %SERVICE% is not installed
  exit /b 0
)

rem A service that is not running refuses the stop, which is fine; one that still runs after
rem a refused stop cannot be stopped by this account.
sc.exe stop "%SERVICE%" >nul 2>&1
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
ping -n 2 127.0.0.1 >nul
goto wait_stopped

:stopped
sc.exe delete "%SERVICE%" >nul
if errorlevel 1 (
  echo uninstall-service: could not delete %SERVICE%; run this from an elevated prompt
  exit /b 1
)
echo uninstall-service: %SERVICE% stopped and removed
exit /b 0

rem STATE = the service's state number (1 stopped, 4 running, ...), or undefined when the
rem service is not installed. The number is read rather than the word, which is the same in
rem every language.
:query_state
set "STATE="
for /f "tokens=3" %%s in ('sc.exe query "%SERVICE%" 2^>nul ^| find "STATE"') do set "STATE=%%s"
exit /b 0
