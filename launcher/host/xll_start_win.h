#pragma once
// The way in that needs no macro: the host loads the runtime as an XLL.
#include <windows.h>
#include <oaidl.h>

#include <string>

enum class XllLoad {
  kLoaded,   // RegisterXLL said the host loaded the add-in and called its xlAutoOpen
  kRefused,  // the host would not load it (add-ins must be signed, or are disabled)
};

// Has the host load the add-in at `addInPath` through Application.RegisterXLL. The
// runtime finds its host through a workbook window, so when no workbook is open a
// temporary one is added first and closed again, unsaved, afterwards. Raises _com_error
// when the host stops answering on the way.
XllLoad LoadAddInAsXll(IDispatch* host, const std::wstring& addInPath);
