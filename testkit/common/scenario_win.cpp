#include "testkit/common/scenario_win.h"

#include <cstdio>
#include <cwchar>
#include <sstream>

#include "core/win/wide_win.h"
#include "core/encoding/utf.h"

std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ModuleFolder(HMODULE module) {
  std::wstring path = ModulePath(module);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

Scenario Scenario::LoadBesideExecutable() {
  Scenario scenario;
  std::wstring path = ModuleFolder(nullptr) + L"fakehost.ini";
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return scenario;
  std::string content;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  fclose(file);

  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    try {
      scenario.values_[line.substr(0, equals)] = ToWide(Utf8ToUtf16(line.substr(equals + 1)));
    } catch (const std::exception&) {
      // A line that is not UTF-8 is no scenario setting.
    }
  }
  return scenario;
}

std::optional<std::wstring> Scenario::Find(const std::string& key) const {
  auto found = values_.find(key);
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

std::wstring Scenario::Text(const std::string& key, const std::wstring& fallback) const {
  return Find(key).value_or(fallback);
}

long long Scenario::Number(const std::string& key, long long fallback) const {
  auto text = Find(key);
  if (!text || text->empty()) return fallback;
  wchar_t* end = nullptr;
  long long value = std::wcstoll(text->c_str(), &end, 0);
  return *end == L'\0' ? value : fallback;
}

std::wstring_view NextPart(std::wstring_view& rest, wchar_t separator) {
  size_t at = rest.find(separator);
  std::wstring_view part = rest.substr(0, at);
  rest = at == std::wstring_view::npos ? std::wstring_view() : rest.substr(at + 1);
  return part;
}
