@echo off
rem Tamberlin against the system's own dialogs and cmd, each dialog answered
rem by driver.exe. Needs nothing but cmd and this folder:
rem     cmd /d /c check.cmd
rem First where it runs (the Windows version, the console's code page and
rem whether there is a console window), then one line per check (PASS,
rem FAIL, or SKIP and why), then "N passed, N failed, N skipped"; the
rem status is 1 when a check failed. The outputs and the driver's reports
rem (log.txt) and pictures of the dialogs (shots\) go to work\. The path of
rem this folder must not hold % or !.
rem Under Wine (its registry key tells) the recipes come with the change
rem that the README documents for Wine, and what Wine cannot show is
rem skipped, as are the checks for Windows only (CHECK_AS_WINDOWS=1 runs
rem those anyway). On Windows nothing is skipped: a skip there fails. The
rem code pages used, 1252, 850 and 65001, are on every Windows, so a chcp
rem that fails there is a failure too. What a hosted image may lack changes
rem what a check expects, not whether it runs:
rem - 8.3 aliases: their creation is often off on drives other than the
rem   system drive (hosted runners work on D:). A name outside the code page
rem   is then expected to fail with the program's message for a name without
rem   one, where elsewhere it comes as its alias.
rem Wine's cmd sets some limits here: names reach the driver as {NAME}
rem (its !NAME! drops each ! of a name), wildcards are not quoted (it
rem expands none in quotes), and no && or || (it runs both sides).
setlocal enableextensions disabledelayedexpansion
set "HERE=%~dp0"
set "WORK=%~dp0work"
set "DOCS=%~dp0work\docs 1"
set "OUT=%~dp0work\out"
set "SHOTS=%~dp0work\shots"
set "LOG=%~dp0work\log.txt"
set "RUN=%~dp0work\Tools (x86) & Co ^1"
set "EXE=%~dp0tamberlin.exe"
set "DRIVER=%~dp0driver.exe"
set "WAIT=60"
set /a passed=0, failed=0, skipped=0
set "WINE="
reg query "HKCU\Software\Wine" >nul 2>&1
if not errorlevel 1 set "WINE=1"
set "WINDOWS=1"
if defined WINE set "WINDOWS="
if "%CHECK_AS_WINDOWS%"=="1" set "WINDOWS=1"
"%DRIVER%" about
if defined WINE echo Wine: what it cannot show is skipped

if exist "%WORK%" rd /s /q "%WORK%"
md "%DOCS%" "%OUT%" "%SHOTS%" "%DOCS%\pick" "%DOCS%\many"
rem The names come from files, so that this script holds nothing but ASCII:
rem cmd reads each line of it in the code page of the moment. Each of them
rem has a folder of its own too (D1 to D3) holding a file of its own
rem (inside 1.txt to inside 3.txt), so that a wrong folder shows, and its
rem 8.3 alias (S1 to S3, SD1 to SD3) where the file system makes one.
copy "%HERE%names" "%DOCS%" >nul
pushd "%DOCS%"
for %%K in (1 2 3) do call :name %%K
popd
type nul > "%DOCS%\plain.txt"
rem many.txt: 300 names of 35 characters, too many for one line of cmd,
rem each holding what cmd reads specially.
for /f "usebackq delims=" %%N in ("%HERE%many.txt") do (
    type nul > "%DOCS%\many\%%N"
    >> "%WORK%\many-lines.txt" echo f="%DOCS%\many\%%N"
)
rem What the README's recipe for /lines prints for them: each bare, then
rem the count.
for %%D in ("%DOCS%\many") do for /f "usebackq delims=" %%N in ("%HERE%many.txt") do >> "%WORK%\many-recipe.txt" echo %%~D\%%N
>> "%WORK%\many-recipe.txt" echo 300 files.
set "filters=Texts and logs|*.txt;*.log|All files|*.*"
set "Q=""
set "planted=uxtheme dwmapi propsys cryptbase version profapi cscapi linkinfo ntshrui srvcli edputil textshaping windows.storage explorerframe"
setlocal enabledelayedexpansion
chcp 1252 >nul

rem --- The help, the three statuses, and each kind of dialog ------------------

rem The checks below lean on these comparisons; they must see a difference.
set "what=the driver's comparisons tell texts apart"
"!DRIVER!" echo "!OUT!\expected.txt" "one line"
"!DRIVER!" echo "!OUT!\other.txt" "another line"
"!DRIVER!" same "!OUT!\other.txt" "!OUT!\expected.txt"
if not errorlevel 1 set "why=!why! same finds two texts alike;"
"!DRIVER!" has "!OUT!\other.txt" "one"
if not errorlevel 1 set "why=!why! has finds a text that is not there;"
"!DRIVER!" line "!OUT!\other.txt" "another"
if not errorlevel 1 set "why=!why! line takes a part of a line for the whole;"
"!DRIVER!" line "!OUT!\other.txt" "another line"
if errorlevel 1 set "why=!why! line misses a whole line;"
call :end

set "what=help: /? writes the usage to standard error, status 0"
set "steps="
set "prog="!EXE!" /?"
call :drive
call :status 0
call :empty out.txt
copy "!HERE!help.txt" "!OUT!\expected.txt" >nul
call :same err.txt
call :end

set "what=a typed name is chosen: status 0 and the line"
set "steps=type "{DOCS}\{N2}" shot "{SHOTS}\open.bmp" ok"
set "prog="!EXE!" "set f=" "!DOCS!\*.txt" "Pick a file" /consolecp"
call :drive
call :status 0
call :empty err.txt
call :expect "set f={Q}{DOCS}\{N2}{Q}"
call :end

set "what=a cancel: status 1, nothing written"
set "steps=cancel"
call :drive
call :status 1
call :empty out.txt
call :empty err.txt
call :end

set "what=a bad call: status 255 and its message, no dialog"
set "steps="
set "prog="!EXE!" "set f=" "!DOCS!\*.txt" /bogus"
call :drive
call :status 255
call :empty out.txt
set "text=Invalid option: /bogus"
call :has err.txt
call :end

set "what=/save with *.txt: a name typed without extension gets .txt"
set "steps=type "{DOCS}\report" shot "{SHOTS}\save.bmp" ok"
set "prog="!EXE!" "set f=" "!DOCS!\*.txt" "Save as" /save /consolecp"
call :drive
call :status 0
call :empty err.txt
call :expect "set f={Q}{DOCS}\report.txt{Q}"
call :end

set "what=/save on an existing file: chosen after a yes to the question"
set "steps=type "{DOCS}\{N1}" ok yes"
call :drive
call :status 0
call :expect "set f={Q}{DOCS}\{N1}{Q}"
call :end

set "what=/save on an existing file: a no keeps the dialog open"
set "steps=type "{DOCS}\{N1}" ok no cancel"
call :drive
call :status 1
call :empty out.txt
call :end

set "what=/folder: the typed folder, without a final backslash"
set "steps=type "{DOCS}\pick\{D1}" shot "{SHOTS}\folder.bmp" ok"
set "prog="!EXE!" "set d=" "!DOCS!\" "Pick a folder" /folder /consolecp"
call :drive
call :status 0
call :empty err.txt
call :expect "set d={Q}{DOCS}\pick\{D1}{Q}"
call :end

set "what=named filters: the first one shown, the file chosen"
set "steps=type "{DOCS}\{N2}" ok"
set "prog="!EXE!" "set f=" "!DOCS!\!filters!" "Pick a text" /consolecp"
call :drive
call :status 0
call :expect "set f={Q}{DOCS}\{N2}{Q}"
set "text=filter: Texts and logs"
call :has report.txt
call :end

set "what=/lines with 300 names: a line each, in the dialog's order"
set "steps=list "{HERE}many.txt" ok"
set "prog="!EXE!" "f=" "!DOCS!\many\*.txt" "Pick many" /multiselect /lines /consolecp"
call :drive
call :status 0
call :empty err.txt
copy "!WORK!\many-lines.txt" "!OUT!\expected.txt" >nul
call :same out.txt
call :end

rem The older dialog, on Windows 7 and later, opens where the user last
rem picked when the folder is the one that the program passed the first
rem time it showed a dialog. A copy under a name of its own has no such
rem history: its first run goes elsewhere and picks there, and its second
rem must open in the named folder all the same, where a bare name that
rem both folders hold is taken.
set "what=the named folder on a second run, from a fresh copy"
md "!WORK!\first" "!WORK!\elsewhere"
for %%D in (first elsewhere) do type nul > "!WORK!\%%D\same.txt"
set "copy=tb!RANDOM!!RANDOM!"
copy "!EXE!" "!WORK!\!copy!.exe" >nul
set "prog="!WORK!\!copy!.exe" "set f=" "!WORK!\first\*.txt" "Second run""
set "steps=in "{WORK}\first" type "{WORK}\elsewhere" ok type same.txt ok"
call :drive
call :status 0
call :expect "set f={Q}{WORK}\elsewhere\same.txt{Q}"
set "steps=in "{WORK}\first" type same.txt ok"
call :drive
call :status 0
call :expect "set f={Q}{WORK}\first\same.txt{Q}"
call :end

rem long.txt: 400 names of 60 characters, over 20480 characters in all,
rem which is all that the older dialog's buffer holds.
set "what=/lines with a selection of over 20480 characters: every name arrives"
md "!WORK!\long"
for /f "usebackq delims=" %%N in ("%HERE%long.txt") do (
    type nul > "%WORK%\long\%%N"
    >> "%WORK%\long-lines.txt" echo f="%WORK%\long\%%N"
)
set "steps=list "{HERE}long.txt" shot "{SHOTS}\long.bmp" ok"
set "prog="!EXE!" "f=" "!WORK!\long\*.txt" "Long" /multiselect /lines"
call :drive
call :status 0
call :empty err.txt
copy "!WORK!\long-lines.txt" "!OUT!\expected.txt" >nul
call :same out.txt
call :end

set "what=/save with *.html: a typed report becomes report.html, the extension whole"
set "steps=type "{DOCS}\report" ok"
set "prog="!EXE!" "set f=" "!DOCS!\*.html" "Save as" /save"
call :drive
call :status 0
call :empty err.txt
call :expect "set f={Q}{DOCS}\report.html{Q}"
call :end

rem --- Every recipe of the README, from a folder named like Program Files ----

for /f "usebackq tokens=1-4*" %%A in ("%HERE%recipes\index.txt") do (
    set "recipe=%%A"
    set "kind=%%B"
    set "percent=%%C"
    set "where=%%D"
    set "want=%%E"
    for %%P in (1252 850 65001) do for %%K in (1 2 3) do (
        set "cp=%%P"
        set "k=%%K"
        call :recipe
    )
    chcp 1252 >nul
    set "what=%%A, cancelled: a failure"
    set "steps=cancel"
    call :fresh
    call :drive
    call :status not0
    call :end
    if "%%B"=="lines" (
        set "what=%%A, 300 names"
        set "steps=type "{DOCS}\many" ok list "{HERE}many.txt" ok"
        call :fresh
        call :drive
        call :status 0
        call :empty err.txt
        copy "!WORK!\many-recipe.txt" "!OUT!\expected.txt" >nul
        call :same out.txt
        call :end
    )
)
chcp 1252 >nul

rem --- What only Windows can show ----------------------------------------------

rem Names that the dialog's libraries load at run time, by name, and that are
rem no known DLLs: without a restriction, Windows looks for them beside the
rem program first. floor.exe shows the same dialog with no restriction.
set "what=the library search restriction: nothing planted beside the program loads"
if defined WINDOWS (
    call :planted floor
    set "why="
    call :planted tamberlin
    set "what=!what! (unrestricted, Windows loaded:!loaded_floor!)"
    if not defined loaded_floor set "why=!why! the unrestricted program loaded none of them, so this shows nothing;"
    if defined loaded_tamberlin set "why=!why! loaded beside tamberlin.exe:!loaded_tamberlin!;"
    call :end
) else (call :skip)

rem start makes a console with a window of its own, which the driver and the
rem program share.
set "what=the dialog's owner is the console window"
if defined WINDOWS (
    del "!OUT!\report.txt" 2>nul
    start "tamberlin owner" /wait "!DRIVER!" /wait !WAIT! /report "!OUT!\report.txt" cancel -- "!EXE!" x "!DOCS!\*.*"
    set "text=owner: console"
    call :has report.txt
    call :end
) else (call :skip)

rem A scheduled task that runs as SYSTEM runs in session 0, on a window
rem station without visible surfaces: nobody could answer a dialog there,
rem so the run must end at once with its message, not wait for good. The
rem hosted runner's user is an administrator, as /ru SYSTEM needs. The task
rem runs a batch file that keeps the program's streams and status here.
set "what=a run as SYSTEM from a scheduled task: status 1 at once, no dialog, and the message"
if defined WINDOWS (
    call :system_task
    call :end
) else (call :skip)

echo !passed! passed, !failed! failed, !skipped! skipped
if !failed! gtr 0 exit /b 1
exit /b 0

rem --- One recipe, one name, one code page --------------------------------------

rem The recipe gets name k, or its folder, or saves beside it. What shows
rem that it got the very item chosen is one whole line (recipes\index.txt
rem gives it, and where: out, listing or saved), naming the item as the
rem program's line did: {ITEM} stands for the item, {NAME} for its last
rem part. Chinese is in no code page here but UTF-8: there the line names
rem the item by its 8.3 alias where it has one (a name to save as has
rem none), or the run says why it writes nothing.
:recipe
set "what=!recipe!, name !k!, chcp !cp!"
if defined WINDOWS (
    chcp !cp! >nul
    if errorlevel 1 (
        set "why= chcp !cp! failed, on a code page that every Windows has;"
        goto end
    )
)
if defined WINE if not "!cp!"=="1252" (
    set "why=Wine cannot show it: its for /f reads every line as 1252, whatever chcp says"
    goto skip
)
if defined WINE if "!percent!!k!"=="percent1" (
    set "why=Wine cannot show it: its cmd expands %% in the name again (in do call %%%%L, which it needs, and in dir)"
    goto skip
)
set "ITEM={DOCS}\{N!k!}"
set "NAME={N!k!}"
set "short=!S%k%!"
if "!kind!"=="folder" (
    set "ITEM={DOCS}\pick\{D!k!}"
    set "short=!SD%k%!"
)
if "!kind!"=="save" (
    set "ITEM={DOCS}\saved {N!k!}"
    set "NAME=saved {N!k!}"
    set "short="
)
set "steps=type "!ITEM!" ok"
if "!kind!"=="multi" set "steps=type "{DOCS}" ok names 2 "{N!k!}" plain.txt ok"
if "!kind!"=="lines" set "steps=type "{DOCS}" ok names 2 "{N!k!}" plain.txt ok"
if "!cp!!k!"=="12522" set "steps=shot "{SHOTS}\%recipe:~0,-4%.bmp" !steps!"
call :fresh
call :drive
rem What the recipe left beside itself: the names, and what the texts say.
dir /s /b "!RUN!" > "!OUT!\listing.txt"
setlocal disabledelayedexpansion
pushd "%RUN%"
for /r %%G in (*.txt *.log) do type "%%G" >> "%OUT%\listing.txt"
popd
endlocal
dir /b "!DOCS!" > "!OUT!\saved.txt"
if "!k!!cp!"=="31252" goto recipe_alias
if "!k!!cp!"=="3850" goto recipe_alias
goto recipe_chosen
:recipe_alias
if not defined short (
    call :status not0
    set "text=and without a short name"
    call :has err.txt
    goto end
)
set "ITEM={DOCS}\{S!k!}"
set "NAME={S!k!}"
if "!kind!"=="folder" set "ITEM={DOCS}\pick\{SD!k!}"
:recipe_chosen
call :status 0
call :empty err.txt
"!DRIVER!" line "!OUT!\!where!.txt" "!want!"
if errorlevel 1 set "why=!why! !where!.txt lacks the line !want!;"
goto end

rem --- Helpers -----------------------------------------------------------------

rem The run as SYSTEM, by a task made for it and deleted after; !rc! is its
rem status, or "none" when it had not ended within 30 seconds. (Apart from
rem the block that calls it: Wine's cmd loses track of a block that holds
rem this much.)
:system_task
set "task=tamberlin check !RANDOM!"
del /q "!OUT!\*" 2>nul
> "!WORK!\task.cmd" echo @"!EXE!" x "!DOCS!\*.*" ^> "!OUT!\out.txt" 2^> "!OUT!\err.txt"
>> "!WORK!\task.cmd" echo @^> "!OUT!\status.txt" echo %%errorlevel%%
schtasks /create /tn "!task!" /ru SYSTEM /sc once /st 23:59 /f /tr "\"!WORK!\task.cmd\"" >nul 2>&1
if errorlevel 1 set "why=!why! schtasks could not create the task;"
schtasks /run /tn "!task!" >nul 2>&1
set "rc=none"
for /l %%T in (1 1 30) do call :status_file
schtasks /end /tn "!task!" >nul 2>&1
schtasks /delete /tn "!task!" /f >nul 2>&1
if "!rc!"=="none" (
    set "why=!why! the run had not ended after 30 seconds;"
    exit /b
)
call :status 1
call :empty out.txt
set "text=No desktop to show the dialog on"
call :has err.txt
exit /b

:status_file
if not "!rc!"=="none" exit /b
if not exist "!OUT!\status.txt" ping -n 2 127.0.0.1 >nul
if exist "!OUT!\status.txt" set /p rc=<"!OUT!\status.txt"
exit /b

rem Runs %1.exe from a folder of its own, with the marker library beside it
rem under each planted name, and cancels its dialog; loaded_%1 names the
rem libraries that it loaded from there. (A for that finds nothing makes
rem Wine's cmd skip the rest of a block: this is no block.)
:planted
md "!WORK!\dlls %1"
for %%D in (%planted%) do copy "!HERE!marker.dll" "!WORK!\dlls %1\%%D.dll" >nul
copy "!HERE!%1.exe" "!WORK!\dlls %1\" >nul
set "steps=cancel"
set "prog="!WORK!\dlls %1\%1.exe" x "!DOCS!\*.*""
call :drive
set "loaded_%1="
pushd "!WORK!\dlls %1"
for %%L in (*.loaded) do set "loaded_%1=!loaded_%1! %%~nL"
popd
exit /b

rem Name %1 of the folder (the current one), its folder and their aliases.
:name
for %%F in (%1*) do (
    set "N%1=%%F"
    set "D%1=%%~nF"
    md "pick\%%~nF"
    type nul > "pick\%%~nF\inside %1.txt"
    "%DRIVER%" alias "%%~fF" > "%WORK%\alias.txt"
    for /f "usebackq delims=" %%S in ("%WORK%\alias.txt") do set "S%1=%%S"
    "%DRIVER%" alias "%%~dpFpick\%%~nF" > "%WORK%\alias.txt"
    for /f "usebackq delims=" %%S in ("%WORK%\alias.txt") do set "SD%1=%%S"
)
exit /b

rem A fresh folder for a recipe: the program and the recipe, nothing else.
:fresh
if exist "!RUN!" rd /s /q "!RUN!"
md "!RUN!"
copy "!EXE!" "!RUN!\" >nul
copy "!HERE!recipes\!recipe!" "!RUN!\" >nul
set "prog=cmd /d /s /c ""!RUN!\!recipe!"""
exit /b

rem Runs the driver with !steps! on !prog!: the program's streams go to
rem out.txt and err.txt, the driver's report to report.txt, all of them to
rem the log as well; its status is !rc!.
:drive
del /q "!OUT!\*" 2>nul
"!DRIVER!" /wait !WAIT! /report "!OUT!\report.txt" !steps! -- !prog! > "!OUT!\out.txt" 2> "!OUT!\err.txt"
set "rc=!errorlevel!"
>> "!LOG!" echo ==== !what!: status !rc!
for %%F in (report out err) do (
    >> "!LOG!" echo --- %%F
    type "!OUT!\%%F.txt" >> "!LOG!" 2>nul
)
if "!rc!"=="250" set "why=!why! the driver could not do its part (see the log);"
exit /b

:status
if "%1"=="not0" (
    if "!rc!"=="0" set "why=!why! status 0, expected another;"
) else if not "!rc!"=="%1" set "why=!why! status !rc!, expected %1;"
exit /b

:empty
for %%S in ("%OUT%\%1") do if not "%%~zS"=="0" set "why=!why! %1 is not empty;"
exit /b

rem out.txt holds exactly the one line given, with its CR LF ({Q} is a
rem double quote).
:expect
"!DRIVER!" echo "!OUT!\expected.txt" %1
call :same out.txt
exit /b

:same
"!DRIVER!" same "!OUT!\%1" "!OUT!\expected.txt"
if errorlevel 1 set "why=!why! %1 is not as expected;"
exit /b

:has
"!DRIVER!" has "!OUT!\%1" "!text!"
if errorlevel 1 set "why=!why! %1 lacks !text!;"
exit /b

:end
if defined why (
    set /a failed+=1
    echo FAIL: !what!:!why!
) else (
    set /a passed+=1
    echo PASS: !what!
)
set "why="
exit /b

:skip
if not defined why set "why=Windows only"
if defined WINE (
    set /a skipped+=1
    echo SKIP: !what!: !why!
) else (
    set /a failed+=1
    echo FAIL: !what!: skipped on Windows: !why!
)
set "why="
exit /b
