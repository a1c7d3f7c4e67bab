' The loader workbook's open macro. The launcher opens the loader in the spreadsheet
' host; this macro loads the runtime add-in from the loader's own folder, hands it the
' host's application object, and closes the loader again without saving.
'
' LoadLibraryW takes the full path first, so that the Declare of DummyFunc9, which names
' its library by file name alone, finds the module already loaded. The path goes over as
' UTF-16 (StrPtr): a String argument of a Declare would be converted to the ANSI code
' page, and a user folder with a character outside it would make the path unloadable.
Option Explicit

#If VBA7 Then
Private Declare PtrSafe Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As LongPtr) As LongPtr
Private Declare PtrSafe Function DummyFunc9 Lib "pelkostub.dll" (ByVal code As Long, ByVal host As LongPtr, ByVal reserved As LongPtr) As Long
#Else
Private Declare Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As Long) As Long
Private Declare Function DummyFunc9 Lib "pelkostub.dll" (ByVal code As Long, ByVal host As Long, ByVal reserved As Long) As Long
#End If

Private Sub Workbook_Open()
    On Error Resume Next
    Dim addInPath As String
    addInPath = ThisWorkbook.Path & "\pelkostub.dll"
    LoadLibraryW StrPtr(addInPath)
    DummyFunc9 1170, ObjPtr(Application), 0
    ThisWorkbook.Saved = True
    ThisWorkbook.Close SaveChanges:=False
End Sub
