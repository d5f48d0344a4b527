' VBScript passes variables by reference: the server must read them as values.
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

Dim vexa, savedX, savedY, x, y
Set vexa = CreateObject("Vexa.Server")
savedX = vexa.getMousePosX
savedY = vexa.getMousePosY

x = 123
y = 234
vexa.setMousePos x, y
Check "setMousePos with variables", vexa.getMousePosX = 123 And vexa.getMousePosY = 234

Dim dx, dy
dx = -10
dy = 5
vexa.moveMouse dx, dy
Check "moveMouse with variables", vexa.getMousePosX = 113 And vexa.getMousePosY = 239

vexa.setMousePos 40000, 40000
vexa.setMousePos (x), (y)
Check "setMousePos with values in parentheses", vexa.getMousePosX = 123 And vexa.getMousePosY = 234

Dim arrow
arrow = 32512
Check "getSystemCursor with a variable", vexa.getSystemCursor(arrow) <> 0
Check "the arrow's handle is the same by value", vexa.getSystemCursor(32512) = vexa.getSystemCursor(arrow)

vexa.setMousePos savedX, savedY
WScript.Echo "script-result: " & passed & " passed, " & failed & " failed"
If failed > 0 Then WScript.Quit 1
WScript.Quit 0
