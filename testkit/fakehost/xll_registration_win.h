#pragma once
// Application.RegisterXLL as the host does it: it loads the library in its own process and
// calls the library's xlAutoOpen.
#include <string>

// True when the library was loaded and its xlAutoOpen called; false when the host's
// policy refuses add-ins (the scenario's addIns), the library does not load, or it
// has no xlAutoOpen. Journal: registerxll "<path>", then one of
//   xll refused "<policy>" | xll error <Windows error> | xll no xlAutoOpen | xlAutoOpen <result>
bool RegisterXll(const std::wstring& path);
