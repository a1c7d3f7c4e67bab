#include "packer/own_path.h"

#include <gtest/gtest.h>

#include <fstream>

#include "packer/pack_error.h"
#include "packer/shipped_files.h"

namespace fs = std::filesystem;

namespace {

// A folder tree for one test: <root>/opt/sheetpack/bin/sheetpack (installed, with its
// share folder), a symbolic link to it in <root>/usr/bin, a file of the same name that
// is not a program in <root>/plain, and <root>/work holding a decoy share/sheetpack
// (the folder a sheetpack that counted from the current folder would take).
class OwnPathTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("own-path-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    Program(root_ / "opt/sheetpack/bin/sheetpack", fs::perms::owner_all);
    Program(root_ / "opt/sheetpack/share/sheetpack/sheetpack-stub-x64.exe", fs::perms::owner_read);
    fs::create_directories(root_ / "usr/bin");
    fs::create_symlink(root_ / "opt/sheetpack/bin/sheetpack", root_ / "usr/bin/sheetpack");
    Program(root_ / "plain/sheetpack", fs::perms::owner_read | fs::perms::owner_write);
    Program(root_ / "work/bin/sheetpack", fs::perms::owner_all);
    Program(root_ / "work/share/sheetpack/sheetpack-stub-x64.exe", fs::perms::owner_read);
    fs::create_directories(root_ / "work/here");
  }
  void TearDown() override { fs::remove_all(root_); }

  static void Program(const fs::path& file, fs::perms perms) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\n";
    fs::permissions(file, perms);
  }

  fs::path root_;
};

TEST_F(OwnPathTest, FindsTheProgramAsTheShellDid) {
  const fs::path installed = fs::canonical(root_ / "opt/sheetpack/bin/sheetpack");
  const std::string usrBin = (root_ / "usr/bin").string();
  const std::string plain = (root_ / "plain").string();
  struct Case {
    const char* what;
    const char* folder;  // the current folder, under the test's root
    std::string selfLink;
    std::string argv0;
    std::optional<std::string> path;
    fs::path expected;
  } cases[] = {
      {"/proc answers", "work/here", "/somewhere/sheetpack", "sheetpack", usrBin, "/somewhere/sheetpack"},
      {"bare name through PATH, link followed", "work/here", "", "sheetpack", "/nonexistent:" + usrBin, installed},
      {"a file that is no program is passed over", "work/here", "", "sheetpack", plain + ":" + usrBin, installed},
      {"first match on PATH wins", "work/here", "", "sheetpack", usrBin + ":" + (root_ / "work/bin").string(), installed},
      {"bare name not on PATH", "work/here", "", "sheetpack", "/nonexistent:" + plain, {}},
      {"bare name without PATH", "work/here", "", "sheetpack", std::nullopt, {}},
      {"relative PATH entry counts from the current folder", "work/here", "", "sheetpack", "../../usr/bin", installed},
      {"empty PATH entry is the current folder", "work/bin", "", "sheetpack", ":/nonexistent",
       fs::canonical(root_ / "work/bin/sheetpack")},
      {"name with a slash, relative", "work/here", "", "../../usr/bin/sheetpack", usrBin, installed},
      {"name with a slash, absolute", "", "", (root_ / "usr/bin/sheetpack").string(), std::nullopt, installed},
      {"name with a slash that does not exist", "work/here", "", "./sheetpack", usrBin, {}},
      {"no name", "work/here", "", "", usrBin, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindOwnProgram(c.selfLink, c.argv0, c.path, root_ / c.folder), c.expected) << c.what;
  }
}

TEST_F(OwnPathTest, ShippedFilesComeFromBesideTheProgramNeverFromTheCurrentFolder) {
  // Started in work/: the decoy share/sheetpack is what a path counted from there reaches.
  const fs::path started = fs::current_path();
  fs::current_path(root_ / "work");
  const fs::path installed = FindOwnProgram("", "sheetpack", (root_ / "usr/bin").string(), root_ / "work");
  EXPECT_EQ(LocateStub("x64", installed), fs::canonical(root_ / "opt/sheetpack/share/sheetpack/sheetpack-stub-x64.exe"));
  try {
    const fs::path stub = LocateStub("x64", FindOwnProgram("", "sheetpack", std::nullopt, root_ / "work"));
    ADD_FAILURE() << "a sheetpack that cannot tell where it is took " << stub;
  } catch (const PackError& error) {
    EXPECT_EQ(error.Code(), ExitCode::kBadInput);
    EXPECT_STREQ(error.what(),
                 "sheetpack-stub-x64.exe: sheetpack cannot tell where it is installed; name a stub with --stub");
  }
  fs::current_path(started);
}

}  // namespace
