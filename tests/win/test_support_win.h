#pragma once
// Helpers shared by the Windows tests: temporary folders, files, and starting the
// launcher stub built beside the tests.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::wstring TempPath();  // GetTempPathW, with its trailing backslash

// A file of this build, named by the Unix path the build passes, as a Windows path.
std::wstring BuildOutputPath(const std::string& unixPath);
// The launcher stub of this build, as a Windows path.
std::wstring StubPath();

// Starts a program with a command line (argv[0] included) and returns its process.
PROCESS_INFORMATION StartProcess(const std::wstring& program, const std::wstring& commandLine);
// Waits for the process to end and returns its exit code; closes its handles.
DWORD WaitForExit(PROCESS_INFORMATION& process, DWORD timeoutMs);

struct ShownMessageBox {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  const wchar_t* icon = nullptr;  // see SystemIconOf
};
// Which system icon a message box shows: IDI_WARNING, IDI_ERROR, IDI_INFORMATION or
// IDI_QUESTION, or null without an icon. Icon handles belong to their process, so the
// icon is compared by the pixels on the screen.
const wchar_t* SystemIconOf(HWND messageBox);

// Waits for a message box of the process (dialog class #32770) and reads it.
ShownMessageBox WaitForMessageBox(DWORD processId, DWORD timeoutMs);

// The IUnknown side of a test's own automation object, living on the test's stack: it
// counts its references (starting at 1) and has no type information. A test object
// answers GetIDsOfNames and Invoke.
class CountedDispatch : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  ULONG references = 1;
};
