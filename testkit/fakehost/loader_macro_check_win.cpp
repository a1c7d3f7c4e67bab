// The stand-in host's crude VBA engine: it reads the loader's module source with the
// packer's own reader and looks for the two statements the add-in's start depends on,
// so that a loader whose project or macro is broken fails the scenarios.
#include "testkit/fakehost/loader_macro_check_win.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "office/loader_format_error.h"
#include "office/vba_project.h"
#include "testkit/common/journal_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

std::string ReadWholeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// The source's statements, lower-cased, with runs of blanks made one space and comment
// lines dropped.
std::vector<std::string> Statements(const std::string& source) {
  std::vector<std::string> statements;
  std::string line;
  auto finish = [&] {
    if (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty() && line[0] != '\'') statements.push_back(line);
    line.clear();
  };
  for (char c : source) {
    if (c == '\r' || c == '\n') {
      finish();
    } else if (c == ' ' || c == '\t') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  finish();
  return statements;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool DeclaresAddInExport(const std::vector<std::string>& statements) {
  return std::any_of(statements.begin(), statements.end(), [](const std::string& s) {
    return s.find("declare ") != std::string::npos && s.find("function dummyfunc9 lib \"pelkostub.dll\"") != std::string::npos;
  });
}

// A call statement inside Workbook_Open whose first argument is 1170.
bool OpenMacroCallsWith1170(const std::vector<std::string>& statements) {
  bool inOpen = false;
  for (const std::string& s : statements) {
    if (StartsWith(s, "private sub workbook_open()") || StartsWith(s, "sub workbook_open()")) inOpen = true;
    else if (StartsWith(s, "end sub")) inOpen = false;
    else if (inOpen && (StartsWith(s, "dummyfunc9 1170,") || StartsWith(s, "call dummyfunc9(1170,"))) return true;
  }
  return false;
}

// A LoadLibrary function declared from kernel32 and called inside Workbook_Open.
AddInLoad LoadBeforeTheCall(const std::vector<std::string>& statements) {
  auto declared = [&](const std::string& function) {
    return std::any_of(statements.begin(), statements.end(), [&](const std::string& s) {
      return s.find("declare ") != std::string::npos && s.find("function " + function + " lib \"kernel32\"") != std::string::npos;
    });
  };
  bool inOpen = false;
  for (const std::string& s : statements) {
    if (StartsWith(s, "private sub workbook_open()") || StartsWith(s, "sub workbook_open()")) inOpen = true;
    else if (StartsWith(s, "end sub")) inOpen = false;
    else if (inOpen && StartsWith(s, "loadlibraryw ") && declared("loadlibraryw")) return AddInLoad::kWidePath;
    else if (inOpen && StartsWith(s, "loadlibrarya ") && declared("loadlibrarya")) return AddInLoad::kAnsiPath;
  }
  return AddInLoad::kNone;
}

const char* LoadName(AddInLoad load) {
  switch (load) {
    case AddInLoad::kAnsiPath: return "ansi";
    case AddInLoad::kWidePath: return "wide";
    default: return "none";
  }
}

}  // namespace

LoaderMacro ReadLoaderMacro(const std::wstring& path) {
  Journal& journal = Host().journal;
  std::vector<VbaModule> modules;
  try {
    modules = ReadWorkbookModules(ReadWholeFile(path));
  } catch (const LoaderFormatError& error) {
    journal.Write("vba error " + QuoteText(std::string_view(error.what())));
    return {};
  }
  auto module = std::find_if(modules.begin(), modules.end(), [](const VbaModule& m) { return m.name == "ThisWorkbook"; });
  if (module == modules.end()) {
    journal.Write("vba error \"no ThisWorkbook module\"");
    return {};
  }
  const std::vector<std::string> statements = Statements(module->source);
  const bool declares = DeclaresAddInExport(statements);
  const bool calls = OpenMacroCallsWith1170(statements);
  LoaderMacro macro;
  macro.startsAddIn = declares && calls;
  macro.load = LoadBeforeTheCall(statements);
  journal.Write("vba " + QuoteText(std::string_view(module->name)) + " declare=" + (declares ? "1" : "0") +
                " call=" + (calls ? "1" : "0") + " load=" + LoadName(macro.load));
  return macro;
}
