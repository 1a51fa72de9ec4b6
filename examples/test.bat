@echo off
rem Every form of the command line on the sample document, for Windows shells.
rem Run from anywhere; results go to the out folder beside this file.
rem FOLIVANT names the executable to use (by default the one beside the examples).
setlocal
cd /d "%~dp0"
if "%FOLIVANT%"=="" set FOLIVANT=..\folivant.exe
if not exist out mkdir out

rem Export the outline into a bookmark XML file.
"%FOLIVANT%" -isample.pdf -eout\sample.xml
if errorlevel 1 exit /b 1

rem Add: a new PDF whose outline is built from the XML file alone.
"%FOLIVANT%" -isample.pdf -oout\added.pdf -xmarks.xml
if errorlevel 1 exit /b 1

rem Update: change items by number (replace, or insert with <Insert>True</Insert>).
"%FOLIVANT%" -isample.pdf -oout\updated.pdf -xupdate.xml -update
if errorlevel 1 exit /b 1

rem List form: every PDF named in list.txt (one per line; blank lines, blanks
rem around names and a byte-order mark are passed over), written under its base
rem name into the folder, which is created with every missing level. Each entry
rem numbers its items from 1, so one bookmark file edits every PDF alike; -j2
rem runs two entries at a time.
"%FOLIVANT%" -ilist.txt -fout\batch -xmarks.xml
if errorlevel 1 exit /b 1
"%FOLIVANT%" -ilist.txt -fout\batch-updated -xupdate.xml -update -j2
if errorlevel 1 exit /b 1
