@echo off
rem Prints the environment for Tavro: every variable as name=value, then the current directory
rem of the current drive as =X:=directory. No other drive is asked about: a disconnected network
rem drive or an empty card reader can keep such a question waiting for seconds.
set
if "%CD:~1,1%"==":" echo =%CD:~0,2%=%CD%
