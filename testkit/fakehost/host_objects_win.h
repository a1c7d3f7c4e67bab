#pragma once
// The host's automation objects: the application, its workbook collection, a workbook,
// and the language settings. Each new object comes with one reference for the caller.
#include <windows.h>
#include <oleauto.h>

IDispatch* NewApplication();
IDispatch* NewWorkbooks();
IDispatch* NewLanguageSettings();
IDispatch* NewWorkbook();
