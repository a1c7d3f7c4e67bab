#pragma once
// Tests of launcher steps share the process's one LauncherState; this fixture puts
// back the fields those steps write, so each test starts from a fresh run.
#include <gtest/gtest.h>

#include "launcher/base/launcher_state_win.h"
#include "core/encoding/byte_io.h"

class LauncherStateTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  LauncherState& state = State();

  void SetOptions(uint32_t flags) { StoreHeaderU32(24, flags); }
  void SetWorkbookFormat(int32_t format) { StoreHeaderU32(84, static_cast<uint32_t>(format)); }

 private:
  void StoreHeaderU32(size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) state.settings.header[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }

  void Reset() {
    if (state.residentEvent) SetEvent(state.residentEvent.get());  // lets a waiting watcher end
    if (state.eventWatcher && state.eventWatcher->joinable()) state.eventWatcher->join();
    state.eventWatcher.reset();
    state.residentEvent.reset();
    state.hostProcess.reset();
    state.eventSeen = false;
    state.settings = AppSettings();
    state.workspaceFolder.clear();
    state.addInFilePath.clear();
    state.workbookFilePath.clear();
    state.loaderWorkbookPath.clear();
    state.workbookData.clear();
    state.exePath.clear();
    state.exeFolder.clear();
  }
};
