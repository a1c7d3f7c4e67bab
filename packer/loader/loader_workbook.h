#pragma once
// The loader workbook (packed item 1018): an .xls file whose ThisWorkbook module holds
// the open macro of loader_macro.bas, which starts the runtime add-in in the host.
#include <string>

// The text of loader_macro.bas, embedded at build time.
extern const char* const kLoaderMacroFile;

// The open macro as the ThisWorkbook module holds it after its attribute lines: the
// text of loader_macro.bas with CRLF line ends.
std::string LoaderMacroSource();

std::string WriteLoaderWorkbook();
