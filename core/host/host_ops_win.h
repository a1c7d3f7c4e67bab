#pragma once
// One thin operation per host member the launcher uses. Each takes the host's application
// object as its target and raises _com_error when the call fails (a null target fails
// with E_POINTER). Objects fetched on the way are released before the operation returns.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>

#include "core/win/scoped_win.h"

// Application members, by the DISPIDs of the host's published object model.
namespace HostDispid {
constexpr DISPID kCaption = 139;
constexpr DISPID kQuit = 302;
constexpr DISPID kDisplayAlerts = 343;
constexpr DISPID kVersion = 392;
constexpr DISPID kVisible = 558;
constexpr DISPID kWorkbooks = 572;
constexpr DISPID kDefaultSaveFormat = 1209;
constexpr DISPID kUserControl = 1210;
constexpr DISPID kProductCode = 1798;
constexpr DISPID kLanguageSettings = 1801;
constexpr DISPID kHwnd = 1950;
// Members of the objects the application hands out.
constexpr DISPID kWorkbooksCount = 118;
constexpr DISPID kWorkbooksClose = 277;
constexpr DISPID kWorkbooksOpen = 682;
constexpr DISPID kLanguageId = 1;
constexpr DISPID kWorkbookSaved = 298;
constexpr DISPID kWorkbookClose = 277;
}  // namespace HostDispid

void SetHostVisible(IDispatch* host, bool visible);
// The text getters read a null string as empty.
std::wstring GetHostVersionText(IDispatch* host);
std::wstring GetHostProductCode(IDispatch* host);
HWND GetHostHwnd(IDispatch* host);
std::wstring GetHostCaption(IDispatch* host);
void SetHostCaption(IDispatch* host, const std::wstring& caption);
// The host's user-interface language id; 0 when it has no language settings or does not
// answer with an integer.
int32_t GetHostUiLanguage(IDispatch* host);
int32_t GetHostDefaultSaveFormat(IDispatch* host);
void SetHostDisplayAlerts(IDispatch* host, bool enabled);
void SetHostUserControl(IDispatch* host, bool userControl);
// Closes every open workbook; nothing happens when the host has no workbook collection.
void CloseHostWorkbooks(IDispatch* host);
void QuitHost(IDispatch* host);

// Opens a workbook with every optional argument left out. Only getting the workbook
// collection can raise; a refused open returns null and shows nothing, and leaves the
// open's HRESULT in `outcome` when one is given.
ComPtr<IDispatch> OpenWorkbookInHost(IDispatch* host, const std::wstring& path, HRESULT* outcome = nullptr);
// Closes one workbook without saving it, whatever else is open.
void CloseWorkbookUnsaved(IDispatch* workbook);

// Opens the user's workbook, kept off the host's list of recent files. Unlike
// OpenWorkbookInHost a refusal raises _com_error, so that the caller can tell a busy
// host from a file it cannot open.
ComPtr<IDispatch> OpenWorkbookForUser(IDispatch* host, const std::wstring& path, const std::wstring& password = {});
int32_t CountHostWorkbooks(IDispatch* host);

// Members found by name: the host's documentation names them, and its dispatcher finds
// them so in every version. DISPID_UNKNOWN when the object has no member of that name.
DISPID FindMemberByName(IDispatch* target, const wchar_t* name);
// Workbooks.Add: a new empty workbook, with a window of its own in the host's desktop.
ComPtr<IDispatch> AddHostWorkbook(IDispatch* host);
// Application.RegisterXLL: whether the host loaded the library and called its xlAutoOpen.
bool RegisterHostXll(IDispatch* host, const std::wstring& path);
// The Application of any object of the host's model (a Window, a Workbook).
ComPtr<IDispatch> GetApplicationOf(IDispatch* object);
// Whether the workbook has no unsaved changes; raises when the workbook is closed.
bool IsWorkbookSaved(IDispatch* workbook);
// Where the workbook was last saved: a file's path, or a web address for a workbook in the
// cloud (AutoSave); raises when the workbook is closed.
std::wstring GetWorkbookFullName(IDispatch* workbook);
// Has the host write a copy of the workbook as it is in memory to `path`; the workbook
// itself keeps its name and its unsaved changes.
void SaveWorkbookCopy(IDispatch* workbook, const std::wstring& path);
// Sets the password the workbook is encrypted with at its next save.
void SetWorkbookPassword(IDispatch* workbook, const std::wstring& password);
void SaveWorkbook(IDispatch* workbook);
