#pragma once
// Runs the stand-in host (testkit's fakehost.exe) for a test: registers it for the
// host's ProgID, writes its scenario, starts it through COM exactly as the launcher does
// (a fresh server process for every start) and reads back its journal.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/win/scoped_win.h"

class FakeHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Writes fakehost.ini: a new journal followed by `lines` (key=value).
  void WriteScenario(const std::vector<std::string>& lines = {});
  // CoCreateInstance of the host's ProgID as a local server.
  ComPtr<IDispatch> StartHost();
  // Every line the host and its add-in have journaled so far.
  std::vector<std::string> Journal() const;
  // The lines journaled since the previous call.
  std::vector<std::string> NewJournalLines();

  static std::wstring FakeHostPath();
  static void RunFakeHost(const wchar_t* argument);

 private:
  std::wstring journalPath_;
  std::wstring journalBase_;
  int scenarios_ = 0;
  size_t linesSeen_ = 0;
};

// The host process's top-level windows of `className`, keyed by title.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const std::wstring& title);
DWORD WindowProcess(HWND window);
// A text as the journal quotes it, for texts without control characters.
std::string Quoted(const std::wstring& text);
std::wstring TitleOf(HWND window);
