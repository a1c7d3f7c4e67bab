#pragma once
// The host's automation objects: the application, its workbook collection, a workbook,
// and the language settings. Each new object comes with one reference for the caller.
#include <windows.h>
#include <oleauto.h>

// A workbook's Password, which callers find by its name: a number of this host's own.
constexpr DISPID kWorkbookPasswordDispid = 3920;

IDispatch* NewApplication();
IDispatch* NewWorkbooks();
IDispatch* NewLanguageSettings();
// The application object as code inside the host's process (the add-in) gets it: its
// references keep the object but not the process, as in the real host.
IDispatch* InProcessApplication();
#include <string>

// A workbook opened from `path` (added to the open workbooks), or, for an empty path, the
// loader workbook, which its own macro has closed again.
IDispatch* NewWorkbook(const std::wstring& path, const std::u16string& password = {});
// A loader whose open macro did not run: it stays open, as any workbook, until closed.
IDispatch* NewKeptLoader(const std::wstring& path);
// A new empty workbook, named Book<n> (journal: add "Book<n>"), as Workbooks.Add makes one.
IDispatch* NewAddedWorkbook();
// Closes every open workbook (journal: close all "<path>" for each).
void CloseAllWorkbooks();
// userSave=<text>: the user answers the host's "save changes?" prompt with Save: the text
// and " at the prompt" are appended to the packaged workbook (journal: user save).
void SaveAtPrompt();
// The user opens the workbook the scenario's userOpens names, once (journal: user open).
void OpenAsUser();
