@echo off
rem Converts every .qm file of one folder with qmextract.exe, one log per
rem model beside its outputs, and names each model that failed. Keep this
rem file beside qmextract.exe and set the two folders below.
setlocal
set "models=C:\Program Files (x86)\Game\models"
set "out=%USERPROFILE%\Desktop\export"
rem The answers reach qmextract as UTF-16, which holds every name whatever
rem the console's code page: the loop runs under cmd /u, whose echo writes it.
if not defined QM_UTF16 (
  set QM_UTF16=1
  cmd /u /d /c ""%~f0""
  exit /b
)
if not exist "%out%" mkdir "%out%"
for %%d in ("%out%") do set "out=%%~fd"
set "answers=%TEMP%\qmextract-answers-%RANDOM%.txt"
pushd "%models%"
for %%f in (*.qm) do (
  > "%answers%" echo "%%~ff"
  >> "%answers%" echo "%out%\%%~nf"
  "%~dp0qmextract.exe" < "%answers%" > "%out%\%%~nf.log"
  if errorlevel 1 echo failed: %%~ff
)
popd
del "%answers%" 2> nul
endlocal
