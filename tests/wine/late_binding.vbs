' Drives the registered component the way a script host does: both classes created by ProgID,
' every call late-bound through IDispatch. Prints one line per check; the exit code is the
' number of failures.
Option Explicit

Dim failures
failures = 0

Sub Check(label, ok)
  If ok Then
    WScript.Echo "ok: " & label
  Else
    WScript.Echo "FAIL: " & label
    failures = failures + 1
  End If
End Sub

' The HRESULT a failing call raised to the script, or 0.
Function Raised()
  Raised = Err.Number
  Err.Clear
End Function

Dim cp, r9
Set cp = CreateObject("Varnocpservices.CPServices")
Set r9 = CreateObject("Varnocpservices.R9CPServices.1")
Check "CreateObject of both classes", IsObject(cp) And IsObject(r9)

' GetErrorMsg: the message comes back through a by-reference output.
Dim msg
cp.GetErrorMsg &H80040967, msg
Check "GetErrorMsg 0x80040967 gives """ & msg & """", msg = "Checksum failure."
r9.GetErrorMsg &H0000096E, msg
Check "GetErrorMsg with the severity bit clear gives """ & msg & """", msg = "Block not supported."

' GetRangeInfo: three doubles out.
Dim low, high, stp
cp.GetRangeInfo 424, low, high, stp
Check "GetRangeInfo 424 gives " & low & " .. " & high & " step " & stp, low = 32 And high = 219 And stp = 1
Check "GetRangeInfo outputs are doubles", VarType(low) = vbDouble

' ValidateAlias: a refused alias raises the component's HRESULT to the script.
On Error Resume Next
cp.ValidateAlias "CH 1"
Check "ValidateAlias accepts ""CH 1""", Raised() = 0
cp.ValidateAlias "bad" & Chr(1)
Dim raisedAlias
raisedAlias = Raised()
Check "ValidateAlias refuses a control character with Err.Number " & Hex(raisedAlias), raisedAlias = &H8004096B
cp.GetRangeInfo 99999, low, high, stp
Dim raisedRange
raisedRange = Raised()
Check "GetRangeInfo of an unknown field raises " & Hex(raisedRange), raisedRange = &H80040968
On Error GoTo 0

' GetBlockData of block 4, the programming record: header and entries.
Dim block
cp.GetBlockData 4, block
Check "GetBlockData 4 is a pair", IsArray(block) And UBound(block) = 1
Dim entries, entry, found, i
entries = block(1)
entry = entries(0)
found = False
For i = 0 To UBound(entry, 1)
  If entry(i, 0) = 104 Then found = True
Next
Check "block 4 entry 0 holds field 104", found

' SetFieldAt with a field built as a script array; GetFieldAt reads it back.
Dim f(0, 2), v
f(0, 0) = 104
f(0, 1) = "Depot Tool"
f(0, 2) = 0
cp.SetFieldAt 4, 0, f
cp.GetFieldAt 4, 104, 0, v
Check "SetFieldAt then GetFieldAt 104 gives """ & v(0, 1) & """", v(0, 1) = "Depot Tool"
f(0, 1) = "Lab"
On Error Resume Next
cp.SetFieldAt 4, 0, f
Dim raisedChoice
raisedChoice = Raised()
On Error GoTo 0
Check "SetFieldAt of an unknown choice raises " & Hex(raisedChoice), raisedChoice = &H8004096C
cp.GetFieldAt 4, 104, 0, v
Check "a refused set changes nothing", v(0, 1) = "Depot Tool"

' A channel of the channel list (block 38): its receive frequency, and one outside the band.
f(0, 0) = 455
f(0, 1) = "148.512500"
f(0, 2) = 1
cp.SetFieldAt 38, 0, f
cp.GetFieldAt 39, 455, 0, v
Check "channel 0 of block 38 reads back through block 39 as " & v(0, 1), v(0, 1) = "148.512500"
f(0, 1) = "180.000000"
On Error Resume Next
cp.SetFieldAt 38, 0, f
Dim raisedBand
raisedBand = Raised()
On Error GoTo 0
Check "a frequency outside the band raises " & Hex(raisedBand), raisedBand = &H8004096B
Dim channels
cp.GetCurrentListQuantity 38, channels
Check "GetCurrentListQuantity 38 gives " & channels, channels = 1

' The second generation's object shares the messages.
On Error Resume Next
r9.GetBlockData 9999, block
Dim raisedBlock
raisedBlock = Raised()
On Error GoTo 0
Check "R9CPServices GetBlockData 9999 raises " & Hex(raisedBlock), raisedBlock = &H8004096E

' The second generation: a whole codeplug image (the file named as the script's argument, its
' bytes as decimal numbers separated by commas) loaded with SetBlockData(2029) from a script
' array, then the power of channel 0 (block 2018 field 2505) changed and read back.
If WScript.Arguments.Count > 0 Then
  Dim fso, image, count
  Set fso = CreateObject("Scripting.FileSystemObject")
  image = Split(fso.OpenTextFile(WScript.Arguments(0)).ReadAll(), ",")
  For i = 0 To UBound(image)
    image(i) = CInt(image(i))
  Next
  r9.SetBlockData 2029, image
  r9.GetCurrentListQuantity 2018, count
  Check "SetBlockData 2029 of " & (UBound(image) + 1) & " bytes gives " & count & " channels", count > 0
  Dim power, other
  r9.GetFieldAt 2018, 2505, 0, v
  power = v(0, 1)
  If power = "High" Then other = "Low" Else other = "High"
  f(0, 0) = 2505
  f(0, 1) = other
  f(0, 2) = 1
  r9.SetFieldAt 2018, 0, f
  r9.GetFieldAt 2018, 2505, 0, v
  Check "R9 channel 0 power " & power & " set to " & other & " reads back as " & v(0, 1), v(0, 1) = other
  f(0, 1) = "Medium"
  On Error Resume Next
  r9.SetFieldAt 2018, 0, f
  Dim raisedPower
  raisedPower = Raised()
  On Error GoTo 0
  Check "R9 SetFieldAt of an unknown power raises " & Hex(raisedPower), raisedPower = &H8004096C
Else
  Check "the script is given the second-generation image file", False
End If

Set cp = Nothing
Set r9 = Nothing
WScript.Echo failures & " failure(s)"
WScript.Quit failures
