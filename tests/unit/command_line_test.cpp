#include "launcher/app/command_line.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Args = std::vector<std::u16string>;

TEST(ScanCleanupMode, FindsThePathsAndStopsAtAMissingOne) {
  struct Case {
    const char* what;
    Args args;
    bool active;
    std::u16string first;
    std::u16string second;
  } cases[] = {
      {"no arguments", {}, false, u"", u""},
      {"program only", {u"C:\\app.exe"}, false, u"", u""},
      {"both", {u"app", u"-clnx", u"C:\\w.xlsm", u"-clnd", u"C:\\t\\a.dll"}, true, u"C:\\w.xlsm",
       u"C:\\t\\a.dll"},
      {"first only", {u"app", u"-CLNX", u"w"}, true, u"w", u""},
      {"any letter case", {u"app", u"-ClNd", u"a"}, true, u"", u"a"},
      {"switch as the last argument", {u"app", u"-clnx"}, false, u"", u""},
      {"earlier pair stays", {u"app", u"-clnx", u"w", u"-clnd"}, true, u"w", u""},
      {"empty value stops the scan", {u"app", u"-clnx", u"", u"-clnd", u"a"}, false, u"", u""},
      {"value is not a switch", {u"app", u"-clnx", u"-clnd", u"a"}, true, u"-clnd", u""},
      {"later one wins", {u"app", u"-clnx", u"w1", u"-clnx", u"w2"}, true, u"w2", u""},
      {"program path counts too", {u"-clnx", u"w"}, true, u"w", u""},
      {"only the whole argument", {u"app", u"-clnxx", u"w", u"-cln", u"v"}, false, u"", u""},
      {"empty arguments are skipped", {u"", u"-clnd", u"a"}, true, u"", u"a"},
  };
  for (const Case& c : cases) {
    const CleanupRequest request = ScanCleanupMode(c.args);
    EXPECT_EQ(request.active, c.active) << c.what;
    EXPECT_EQ(request.first, c.first) << c.what;
    EXPECT_EQ(request.second, c.second) << c.what;
  }
}

TEST(ScanCleanupMode, ReadsTheHostProcessHandle) {
  struct Case {
    const char* what;
    Args args;
    bool active;
    bool waits;
    uint64_t handle;
    std::u16string second;
  } cases[] = {
      {"handle and paths", {u"app", u"-clnp", u"1234", u"-clnd", u"a"}, true, true, 1234, u"a"},
      {"handle alone", {u"app", u"-CLNP", u"8"}, true, true, 8, u""},
      {"not a number still waits, on nothing", {u"app", u"-clnp", u"12x", u"-clnd", u"a"}, true, true, 0, u"a"},
      {"sign refused", {u"app", u"-clnp", u"-4"}, true, true, 0, u""},
      {"too long refused", {u"app", u"-clnp", u"99999999999999999999"}, true, true, 0, u""},
      {"switch without value", {u"app", u"-clnd", u"a", u"-clnp"}, true, false, 0, u"a"},
      {"no handle switch", {u"app", u"-clnd", u"a"}, true, false, 0, u"a"},
  };
  for (const Case& c : cases) {
    const CleanupRequest request = ScanCleanupMode(c.args);
    EXPECT_EQ(request.active, c.active) << c.what;
    EXPECT_EQ(request.waitsForHost, c.waits) << c.what;
    EXPECT_EQ(request.hostProcess, c.handle) << c.what;
    EXPECT_EQ(request.second, c.second) << c.what;
  }
}

// What the watcher is started with must read back as the same request, and a missing
// workbook must not leave an empty -clnx that ends the scan (a new launch instead).
TEST(CleanupCommandLine, ReadsBackAndLeavesOutEmptyPaths) {
  const std::u16string longFolder = u"C:\\" + std::u16string(300, u'd');
  struct Case {
    const char* what;
    std::u16string workbook;
    std::u16string addIn;
  } cases[] = {
      {"both paths", u"C:\\T\\ab c\\App.xlsm", u"C:\\T\\ab c\\pelkostub.dll"},
      {"no workbook path", u"", u"C:\\T\\w\\pelkostub.dll"},
      {"longer than MAX_PATH", longFolder + u"\\App.xlsm", longFolder + u"\\pelkostub.dll"},
  };
  for (const Case& c : cases) {
    const std::u16string line = CleanupCommandLine(u"C:\\p q\\App.exe", 1234, c.workbook, c.addIn);
    EXPECT_EQ(line.find(u"\"\""), std::u16string::npos) << c.what;
    // Split as Windows does for paths without quotes inside.
    Args args;
    std::u16string current;
    bool inQuotes = false;
    for (char16_t ch : line + u" ") {
      if (ch == u'"') {
        inQuotes = !inQuotes;
      } else if (ch == u' ' && !inQuotes) {
        if (!current.empty()) args.push_back(current);
        current.clear();
      } else {
        current += ch;
      }
    }
    const CleanupRequest request = ScanCleanupMode(args);
    EXPECT_TRUE(request.active) << c.what;
    EXPECT_TRUE(request.waitsForHost) << c.what;
    EXPECT_EQ(request.hostProcess, 1234u) << c.what;
    EXPECT_EQ(request.first, c.workbook) << c.what;
    EXPECT_EQ(request.second, c.addIn) << c.what;
  }
}

TEST(ScanRunArguments, ReadsPasswordTestFlagAndSilentStart) {
  struct Case {
    const char* what;
    Args args;
    std::u16string password;
    bool test;
    uint32_t silent;
  } cases[] = {
      {"no arguments", {}, u"", false, 0},
      {"password", {u"app", u"-p", u"secret"}, u"secret", false, 0},
      {"capital switch", {u"app", u"-P", u"secret"}, u"secret", false, 0},
      {"password switch last", {u"app", u"-p"}, u"", false, 0},
      {"only the exact switch", {u"app", u"-pw", u"x", u"-Px"}, u"", false, 0},
      {"empty password", {u"app", u"-p", u""}, u"", false, 0},
      {"later password wins", {u"app", u"-p", u"a", u"-P", u"b"}, u"b", false, 0},
      {"value is looked at too", {u"app", u"-p", u"-xlstest"}, u"-xlstest", true, 0},
      {"value -p takes the next", {u"app", u"-p", u"-p", u"x"}, u"x", false, 0},
      {"test flag", {u"app", u"-xlstest"}, u"", true, 0},
      {"test flag any case and suffix", {u"app", u"-XLSTestRun"}, u"", true, 0},
      {"test flag needs eight characters", {u"app", u"-xlstes"}, u"", false, 0},
      {"silent start", {u"app", u"-quiet1F"}, u"", false, 0x1F},
      {"silent start any case", {u"app", u"-QUIETabc"}, u"", false, 0xABC},
      {"silent prefix only", {u"app", u"-quiet"}, u"", false, 0},
      {"silent start zero", {u"app", u"-quiet0"}, u"", false, 0},
      {"silent start not hex", {u"app", u"-quietZ1"}, u"", false, 0},
      {"silent start with 0x", {u"app", u"-quiet0x10"}, u"", false, 0x10},
      {"silent start low 32 bits", {u"app", u"-quiet123456789A"}, u"", false, 0x3456789A},
      {"silent start negative", {u"app", u"-quiet-1"}, u"", false, 0xFFFFFFFF},
      {"silent start saturates", {u"app", u"-quiet1234567890ABCDEF12"}, u"", false, 0xFFFFFFFF},
      {"later silent start wins", {u"app", u"-quiet5", u"-quiet0"}, u"", false, 0},
      {"switches mix", {u"app", u"-quiet7", u"-p", u"pw", u"-xlstest"}, u"pw", true, 7},
      {"program path counts too", {u"-xlstest.exe"}, u"", true, 0},
  };
  for (const Case& c : cases) {
    const RunArguments result = ScanRunArguments(c.args, u"-quiet");
    EXPECT_EQ(result.password, c.password) << c.what;
    EXPECT_EQ(result.testFlag, c.test) << c.what;
    EXPECT_EQ(result.silentStart, c.silent) << c.what;
  }
}

TEST(ScanRunArguments, ComparesOnlySixCharactersOfTheSilentPrefix) {
  EXPECT_EQ(ScanRunArguments({u"-silent2A"}, u"-silent").silentStart, 0u);   // "-silen" + "t2A"
  EXPECT_EQ(ScanRunArguments({u"-silen2A"}, u"-silent").silentStart, 0x2Au);
  // A prefix shorter than six characters matches only the whole argument.
  EXPECT_EQ(ScanRunArguments({u"-q"}, u"-q").silentStart, 0u);
  EXPECT_EQ(ScanRunArguments({u"-q1"}, u"-q").silentStart, 0u);
}

TEST(ParseHexLikeWcstoi64, BehavesLikeTheCLibrary) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  const std::pair<const char16_t*, int64_t> cases[] = {
      {u"", 0},
      {u"1F", 0x1F},
      {u"ff", 0xFF},
      {u"  \t\r\n\v\f7", 7},
      {u"+A", 10},
      {u"-A", -10},
      {u"0x1f", 0x1F},
      {u"0X1F", 0x1F},
      {u"-0x10", -16},
      {u"0x", 0},
      {u"0xg", 0},
      {u"x10", 0},
      {u"12g34", 0x12},
      {u"1 2", 1},
      {u"+-1", 0},
      {u"- 1", 0},
      {u"7FFFFFFFFFFFFFFF", kMax},
      {u"8000000000000000", kMax},
      {u"FFFFFFFFFFFFFFFFF", kMax},
      {u"-8000000000000000", kMin},
      {u"-8000000000000001", kMin},
      {u"-10000000000000000", kMin},
      {u"00000000000000000000001", 1},
      {u"\u00A01", 0},  // only the C locale's white space
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ParseHexLikeWcstoi64(cases[i].first), cases[i].second) << "case " << i;
  }
}

}  // namespace
