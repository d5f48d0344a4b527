' The server as a VBScript client sees it. VBScript passes variables by reference.
Option Explicit
Dim passed, failed
passed = 0
failed = 0

Sub Check(what, ok)
    If ok Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & what
    End If
End Sub

Dim vexa
Set vexa = CreateObject("Vexa.Server")
Check "version as a property", vexa.version = "1.04"
Check "version as a method", vexa.version() = "1.04"

Dim frequency, duration
frequency = 440
duration = 10
On Error Resume Next
vexa.beep frequency, duration
Check "beep with variables", Err.Number = 0
Err.Clear
vexa.beep
Check "beep without arguments", Err.Number = 0
Err.Clear
vexa.beep frequency
Check "beep with one argument raises an error", Err.Number <> 0
Err.Clear
vexa.noSuchMethod
Check "an unknown method raises an error", Err.Number <> 0
Err.Clear
On Error GoTo 0

WScript.Echo "script-result: " & passed & " passed, " & failed & " failed"
If failed > 0 Then WScript.Quit 1
WScript.Quit 0
