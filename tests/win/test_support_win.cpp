#include "test_support_win.h"

#include <stdio.h>

#include <cstdlib>

std::wstring TempPath() {
  wchar_t buffer[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, buffer);
  return buffer;
}

TempFolder::TempFolder() {
  static unsigned counter = 0;
  path_ = TempPath() + L"sheetpack-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") DeleteFileW(File(name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path_.c_str());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return;
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring BuildOutputPath(const std::string& unixPath) {
  // The build passes Unix paths; Wine maps the Unix root to drive Z:.
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

std::wstring StubPath() { return BuildOutputPath(SHEETPACK_STUB); }

PROCESS_INFORMATION StartProcess(const std::wstring& program, const std::wstring& commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring mutableLine = commandLine;
  CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                 &process);
  return process;
}

DWORD WaitForExit(PROCESS_INFORMATION& process, DWORD timeoutMs) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

namespace {

struct BoxSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner == search->processId && std::wstring(className) == L"#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
  if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}

// A 32-bit top-down bitmap of the given size, with a memory DC selected into it.
class Canvas {
 public:
  Canvas(int width, int height) : size_(static_cast<size_t>(width) * height * 4) {
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits_, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  std::string Pixels() const {
    GdiFlush();
    return bits_ ? std::string(static_cast<const char*>(bits_), size_) : std::string();
  }

 private:
  size_t size_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  void* bits_ = nullptr;
};

std::wstring WindowText(HWND window) {
  wchar_t text[2048] = {};
  GetWindowTextW(window, text, 2048);
  return text;
}

}  // namespace

const wchar_t* SystemIconOf(HWND messageBox) {
  HWND control = nullptr;
  EnumChildWindows(messageBox, FindIconControl, reinterpret_cast<LPARAM>(&control));
  if (!control) return nullptr;
  RECT rect;
  GetWindowRect(control, &rect);
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return nullptr;

  Canvas shown(width, height);
  HDC screen = GetDC(nullptr);
  BitBlt(shown.dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  std::string shownPixels = shown.Pixels();
  COLORREF background = GetPixel(shown.dc(), 0, 0);

  for (const wchar_t* id : {IDI_WARNING, IDI_ERROR, IDI_INFORMATION, IDI_QUESTION}) {
    Canvas reference(width, height);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(reference.dc(), &all, brush);
    DeleteObject(brush);
    DrawIconEx(reference.dc(), 0, 0, LoadIconW(nullptr, id), 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    if (reference.Pixels() == shownPixels) return id;
  }
  return nullptr;
}

ShownMessageBox WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
  ShownMessageBox box;
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    BoxSearch search{processId, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      Sleep(300);  // lets the box paint itself: its icon is read off the screen
      box.window = search.found;
      box.caption = WindowText(search.found);
      // A message box keeps its text in the static control 0xFFFF.
      box.text = WindowText(GetDlgItem(search.found, 0xFFFF));
      box.icon = SystemIconOf(search.found);
      return box;
    }
    Sleep(100);
  }
  return box;
}
