@echo off
rem Prints the environment for Tavro: every variable as name=value, then the current
rem directory of each drive that exists as =X:=directory.
set
for %%d in (A B C D E F G H I J K L M N O P Q R S T U V W X Y Z) do if exist %%d:\nul call :drive %%d
goto :eof

:drive
for %%p in (%1:.) do echo =%1:=%%~fp
