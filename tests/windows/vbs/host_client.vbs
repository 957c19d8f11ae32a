' A late-binding host run by cscript against the installed KB6TRAY.exe.
' cscript //nologo host_client.vbs CLUB_FILE DATENPFAD
Option Explicit

Dim failures : failures = 0
Sub Check(ok, what)
  If Not ok Then WScript.Echo "FAIL: " & what : failures = failures + 1
End Sub

' Reads and clears the error of the statement before (0: none).
Sub CheckError(number, what)
  Check Err.Number = number, what & " (error " & Err.Number & ")"
  Err.Clear
End Sub

Dim club : club = WScript.Arguments(0)
Dim datenpfad : datenpfad = WScript.Arguments(1)
Dim app : Set app = CreateObject("KB6TRAY.clsApplication")

' Variables come by reference, literals by value; both are converted.
Dim real, nothingAtAll
real = 601.4
On Error Resume Next
app.Datenpfad = datenpfad : CheckError 0, "Datenpfad from a String variable"
app.AccessDatenbank = club : CheckError 0, "AccessDatenbank from a String variable with umlauts"
app.SQLServer_Host = "lokal" : CheckError 0, "SQLServer_Host from a literal"
app.Programmversion = real : CheckError 0, "Programmversion from a Double variable"
app.Programmversion = 603 : CheckError 0, "Programmversion from a literal"

' What cannot be converted, what does not exist.
app.Programmversion = "zwölf" : CheckError 13, "Programmversion from a text that is no number"
app.Programmversion = 1E12 : CheckError 6, "Programmversion from a number too big"
nothingAtAll = app.Programmversion : CheckError 438, "reading a write-only property"
app.Unbekannt = 1 : CheckError 438, "an unknown property"
app.ShowTrayicon 1 : CheckError 450, "ShowTrayicon with an argument"
On Error GoTo 0

app.ShowTrayicon
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim logFolder : logFolder = fso.BuildPath(datenpfad, "Logfiles")
Function RunsEnded()
  Dim f, n : n = 0
  If fso.FolderExists(logFolder) Then
    For Each f In fso.GetFolder(logFolder).Files
      n = n + UBound(Split(fso.OpenTextFile(f.Path, 1).ReadAll(), "ist abgeschlossen." & vbCrLf))
    Next
  End If
  RunsEnded = n
End Function
' Wine's cscript has no WScript.Sleep: ping waits about a second, and
' where it cannot, the loop spins out the half second itself.
Dim shell : Set shell = CreateObject("WScript.Shell")
Dim waited, t : waited = 0
Do While RunsEnded() < 3 And waited < 600
  t = Timer
  shell.Run "ping -n 2 127.0.0.1", 0, True
  Do While Timer - t < 0.5 And Timer >= t
  Loop
  waited = waited + 1
Loop
Check RunsEnded() = 3, "a cycle ran its three intervals"

Dim jobs : Set jobs = CreateObject("KB6TRAY.clsAufgaben")
On Error Resume Next
Dim result : result = jobs.gfRefreshAbteilungsuebersicht : CheckError 0, "gfRefreshAbteilungsuebersicht"
Check result = True, "gfRefreshAbteilungsuebersicht returns True"
Set jobs = Nothing

app.CloseTrayIcon : CheckError 0, "CloseTrayIcon"
On Error GoTo 0
Set app = Nothing
WScript.Echo "failures: " & failures
WScript.Quit failures
