// Work carried into the saved state: the state that was there is set aside beside it,
// never overwritten; a recovery state that is newer than the state is what the next start
// reads, and the launcher carries it in; one older than the state is stale.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/payload/saved_state.h"
#include "core/payload/saved_state_carry_win.h"
#include "core/payload/saved_state_location_win.h"
#include "core/payload/saved_state_update.h"
#include "core/win/files_win.h"
#include "core/win/wide_win.h"
#include "tests/win/test_support_win.h"

namespace {

constexpr uint32_t kMagic = 0x0EA21246;

std::string State(const std::string& workbook) {
  return WorkbookSavedState(workbook, u"App.xlsm", std::string(120, 's'), "digest", kMagic);
}

std::string Content(const std::wstring& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

std::wstring SetAside(const std::wstring& statePath, int attempt) {
  return ToWide(SetAsidePath(FromWide(statePath), 0, attempt));
}

// Moves the file's last write an hour back, so that the order of two writes is sure.
void MakeOlder(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME written;
  GetFileTime(file, nullptr, nullptr, &written);
  ULARGE_INTEGER ticks{{written.dwLowDateTime, written.dwHighDateTime}};
  ticks.QuadPart -= 36000000000ull;
  written = {ticks.LowPart, ticks.HighPart};
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

TEST(SavedStateCarry, TheStateThatWasThereIsSetAsideNeverOverwritten) {
  TempFolder folder;
  const std::wstring state = folder.File(L"App.vstg");
  ASSERT_TRUE(CarryIntoState(state, State("first"), kMagic)) << "no state yet";
  EXPECT_EQ(Content(state), State("first"));
  EXPECT_FALSE(FileExists(SetAside(state, 1)));

  ASSERT_TRUE(CarryIntoState(state, State("second"), kMagic));
  ASSERT_TRUE(CarryIntoState(state, State("third"), kMagic));
  EXPECT_EQ(Content(state), State("third"));
  EXPECT_EQ(Content(SetAside(state, 1)), State("first"));
  EXPECT_EQ(Content(SetAside(state, 2)), State("second"));
}

class RecoveryStateTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DeleteFileW(recovery_.c_str());
  }
  TempFolder folder_;
  std::wstring state_ = folder_.File(L"App.vstg");
  std::wstring recovery_ = RecoveryStatePath(state_);
};

TEST_F(RecoveryStateTest, ANewerOneIsReadAndTheLauncherCarriesItIn) {
  WriteFileBytes(state_, State("before"));
  MakeOlder(state_);
  ASSERT_EQ(WriteRecoveryState(state_, State("kept")), recovery_);
  ASSERT_NE(recovery_.find(L"\\Sheetpack\\"), std::wstring::npos) << "in the user's own folder";

  // The runtime (no carry) reads it where it is and moves nothing.
  EXPECT_EQ(StateToRead(state_, state_, kMagic, false), recovery_);
  EXPECT_EQ(Content(state_), State("before"));

  EXPECT_EQ(StateToRead(state_, state_, kMagic, true), state_);
  EXPECT_EQ(Content(state_), State("kept"));
  EXPECT_EQ(Content(SetAside(state_, 1)), State("before"));
  EXPECT_FALSE(FileExists(recovery_));
}

TEST_F(RecoveryStateTest, WithNoStateYetItBecomesTheState) {
  ASSERT_EQ(WriteRecoveryState(state_, State("kept")), recovery_);
  EXPECT_EQ(StateToRead(state_, std::wstring(), kMagic, true), state_);
  EXPECT_EQ(Content(state_), State("kept"));
  EXPECT_FALSE(FileExists(recovery_));
}

TEST_F(RecoveryStateTest, AnOlderOneIsStaleAndTheLauncherRemovesIt) {
  ASSERT_EQ(WriteRecoveryState(state_, State("kept")), recovery_);
  MakeOlder(recovery_);
  WriteFileBytes(state_, State("saved later"));
  EXPECT_EQ(StateToRead(state_, state_, kMagic, false), state_);
  EXPECT_TRUE(FileExists(recovery_));
  EXPECT_EQ(StateToRead(state_, state_, kMagic, true), state_);
  EXPECT_EQ(Content(state_), State("saved later"));
  EXPECT_FALSE(FileExists(recovery_));
  EXPECT_FALSE(FileExists(SetAside(state_, 1)));
}

TEST_F(RecoveryStateTest, NoneLeavesTheStateAsItIs) {
  EXPECT_EQ(StateToRead(state_, state_, kMagic, true), state_);
  EXPECT_EQ(StateToRead(state_, std::wstring(), kMagic, true), std::wstring());
}

}  // namespace
