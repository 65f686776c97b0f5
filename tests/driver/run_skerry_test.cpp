#include "driver/run_skerry.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "filters/match_predicates.h"
#include "platform/clock.h"

namespace skerry {
namespace {

// A predicate as text: "Name(*.txt)", "!Size<10", "Dir(\docs)", ...
std::string Describe(const Match& match) {
  auto narrow = [](std::u16string_view s) { return std::string(s.begin(), s.end()); };
  std::string text = match.expected ? "" : "!";
  if (auto* name = dynamic_cast<const MatchName*>(&match)) {
    return text + "Name(" + narrow(name->pattern) + ")";
  }
  if (auto* directory = dynamic_cast<const MatchDirectory*>(&match)) {
    return text + "Dir(" + narrow(directory->pattern) + ")";
  }
  if (auto* size = dynamic_cast<const MatchSize*>(&match)) {
    return text + "Size" + (size->compare == SizeGreater ? ">" : "<") + std::to_string(size->value);
  }
  if (auto* count = dynamic_cast<const StreamCntMatch*>(&match)) {
    return text + "Streams" + (count->compare == CountGreater ? ">" : "<") +
           std::to_string(count->value);
  }
  if (auto* date = dynamic_cast<const MatchDate*>(&match)) {
    return text + (date->compare == TimeAfter ? "After(" : "Before(") +
           std::to_string(date->value) + ")";
  }
  return text + "?";
}

std::vector<std::string> Describe(const MultiFilter& list) {
  std::vector<std::string> described;
  for (const Ref<Match>& p : list.predicates()) described.push_back(Describe(*p));
  return described;
}

// What one scan or walk was given.
struct Call {
  bool walk;
  std::u16string argument;
  ScanSettings settings;  // a copy as it stood during the call
  std::vector<std::string> records;
  std::vector<std::string> directories;
};

struct Outcome {
  int status;
  std::wstring out;
  std::wstring err;
  std::vector<Call> calls;
};

Outcome RunWith(std::vector<std::u16string> arguments,
                std::map<std::u16string, ErrorCode> codes = {}) {
  Outcome run;
  DriveRunners runners;
  auto record = [&run, &codes](bool walk) {
    return [&run, &codes, walk](std::u16string_view argument, ScanSettings& settings,
                                std::wostream&) {
      run.calls.push_back({walk, std::u16string(argument), settings,
                           Describe(*settings.recordFilter), Describe(*settings.directoryFilter)});
      auto code = codes.find(std::u16string(argument));
      return code == codes.end() ? kErrorSuccess : code->second;
    };
  };
  runners.scanDrive = record(false);
  runners.walk = record(true);
  arguments.insert(arguments.begin(), u"skerry");
  std::wostringstream out;
  std::wostringstream err;
  run.status = RunSkerry(arguments, out, err, runners);
  run.out = out.str();
  run.err = err.str();
  return run;
}

using Strings = std::vector<std::string>;

const wchar_t kUsage[] =
    L"\n"
    L"Skerry v2.9 - Sep  2 2013\n"
    L"\n"
    L"Description:\n"
    L"   Skerry searches NTFS Master File Table (MFT) rather then iterating across directories.\n"
    L"   Skerry does not use or maintain an index database\n"
    L"   By reading the MFT directly, Skerry can locate files anywhere on a disk quickly.\n"
    L"   Note: Standard directory searching is faster if you know the directory to search.\n"
    L"   If you don't know the directory and need to search the entire disk drive, Skerry is "
    L"fast.\n"
    L"\n"
    L"   If you use the -z switch, it will iterate across the directories rather then using "
    L"MFT.\n"
    L"\n"
    L"Use:\n"
    L"   Skerry [options] <localNTFSdrivetoSearch>... \n"
    L" Filter:\n"
    L"   -d <count>                        ; Filter by data stream count  \n"
    L"   -f <fileFilter>                   ; Filter by filename, use * or ? patterns \n"
    L"   -s <size>                         ; Filter by file size  \n"
    L"   -t <relativeModifyDate>           ; Filter by time modified, value is relative days \n"
    L"   -z                                ; Force slow style directory search \n"
    L" Report:\n"
    L"   -A[=s|h|r|d|c]                    ; Include attributes, filter on attributes \n"
    L"   -D                                ; Include directory \n"
    L"   -I                                ; Include mft index \n"
    L"   -S                                ; Include size \n"
    L"   -T                                ; Include time \n"
    L"   -V                                ; Include VCN array \n"
    L"   -#                                ; Include stream and name counts \n"
    L"\n"
    L"   -Q                                ; Query / Display MFT information only \n"
    L"\n"
    L" Examples:\n"
    L"  No filtering:\n"
    L"    c:                 ; scan c drive, display filenames. \n"
    L"    -ITSA  c:          ; scan c drive, display mft index, time, size, attributes, "
    L"directory. \n"
    L"  Filter examples (precede 'f' command letter with ! to invert rule):\n"
    L"    -f *.txt d:        ; files ending in .txt on d: drive \n"
    L"    -f \\*\\foo*\\*.txt d:; files ending in .txt on d: drive in directory starting with "
    L"foo \n"
    L"    -!f *.txt d:       ; files NOT ending in .txt on d: drive \n"
    L"    -t 2.5 -f *.log    ; modified more than 2.5 days and ending in .log on c drive \n"
    L"    -t -7 e:           ; modified less than 7 days ago on e drive \n"
    L"    -s 1000 d:         ; file size greater than 1000 bytes on d drive \n"
    L"    -s -1000 d: e:     ; file size less than 1000 bytes on d and e drive \n"
    L"    -f F* c: d:        ; limit scan to files starting with F on either C or D \n"
    L"    -d 1 d:            ; files with more than 1 data stream on d: drive \n"
    L"    -Q c:              ; Display special NTFS files\n"
    L"    -z c:\\windows\\system32\\*.dll   ; Force slow directory search. \n";

TEST(RunSkerry, UsageTextEndsTheRunWithoutScanning) {
  for (const auto& arguments : std::vector<std::vector<std::u16string>>{
           {}, {u"-?"}, {u"-S", u"-?"}, {u"-?", u"c:"}, {u"-S?x"}}) {
    const Outcome run = RunWith(arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_TRUE(run.err.empty());
    EXPECT_TRUE(run.calls.empty());
  }
  EXPECT_EQ(std::count(std::begin(kUsage), std::end(kUsage), L'\n'), 47);
}

TEST(RunSkerry, WithoutDriveArgumentScansTheDefaultDriveThroughItsMft) {
  for (const auto& arguments : std::vector<std::vector<std::u16string>>{
           {u"-D"}, {u"-z"}, {u"-A"}, {u"-f", u"*.txt"}}) {
    const Outcome run = RunWith(arguments);
    ASSERT_EQ(run.calls.size(), 1u);
    EXPECT_FALSE(run.calls[0].walk);
    EXPECT_EQ(run.calls[0].argument, u"c:\\");
  }
  EXPECT_FALSE(RunWith({u"-D"}).calls[0].settings.showDirectory);
  EXPECT_TRUE(RunWith({u"-A"}).calls[0].settings.showAttributes);
  EXPECT_EQ(RunWith({u"-f", u"*.txt"}).calls[0].records, Strings{"Name(*.txt)"});
}

TEST(RunSkerry, SwitchesAndAttributeMask) {
  struct Case {
    std::vector<std::u16string> arguments;
    uint32_t mask;
    bool showAttributes;
  };
  const Case cases[] = {
      {{u"-A=hr", u"c:"}, 0x00000003, true},       {{u"-A=HS", u"c:"}, 0x00000006, true},
      {{u"-A=df", u"c:"}, 0xEFFFFFFF, true},       {{u"-A=fd", u"c:"}, 0xFFFFFFFF, true},
      {{u"-A=c", u"c:"}, 0x00000800, true},        {{u"-A=", u"c:"}, 0, true},
      {{u"-A=hx", u"c:"}, 0x00000002, true},       {{u"-A=h", u"-A=s", u"c:"}, 0x00000004, false},
      {{u"-Q", u"-A=h", u"c:"}, 0x00000002, true}, {{u"-A=h", u"-Q", u"c:"}, 0x00000004, true},
      {{u"-ITSA", u"d:"}, 0xFFFFFFFF, true},       {{u"-A", u"=hr", u"d:"}, 0x00000003, true},
      {{u"-Ax", u"d:"}, 0xFFFFFFFF, true},         {{u"-A", u"d:"}, 0xFFFFFFFF, true},
  };
  for (const Case& c : cases) {
    const Outcome run = RunWith(c.arguments);
    ASSERT_EQ(run.calls.size(), 1u);
    // -A takes a separate argument only when it begins with "=".
    EXPECT_EQ(run.calls[0].argument, c.arguments.back());
    EXPECT_EQ(run.calls[0].settings.attributeMask, c.mask);
    EXPECT_EQ(run.calls[0].settings.showAttributes, c.showAttributes);
  }

  const Outcome hx = RunWith({u"-A=hx", u"c:"});
  EXPECT_EQ(hx.err, L"Invalid attribute argument:=hx\n");
  EXPECT_EQ(hx.status, 0);

  const Outcome optionAfterA = RunWith({u"-A", u"-S", u"d:"});
  ASSERT_EQ(optionAfterA.calls.size(), 1u);
  EXPECT_TRUE(optionAfterA.calls[0].settings.showAttributes);
  EXPECT_TRUE(optionAfterA.calls[0].settings.showSize);

  const Outcome all = RunWith({u"-ITSDV#Q", u"c:"});
  const ScanSettings& s = all.calls[0].settings;
  EXPECT_TRUE(s.showIndex && s.showTime && s.showSize && s.showVcn && s.showNameCount &&
              s.showStreamCount && s.queryMode);
  EXPECT_FALSE(s.showDirectory);
  const Outcome again = RunWith({u"-ITSD", u"-ITSD", u"c:"});
  const ScanSettings& twice = again.calls[0].settings;
  EXPECT_FALSE(twice.showIndex || twice.showTime || twice.showSize);
  EXPECT_TRUE(twice.showDirectory);
}

TEST(RunSkerry, InversionAppliesToTheNextPredicateOnly) {
  struct Case {
    std::vector<std::u16string> arguments;
    Strings records;
  };
  const Case cases[] = {
      {{u"-!", u"-S", u"-f", u"*.txt", u"c:"}, {"!Name(*.txt)"}},
      {{u"-!f", u"a", u"-f", u"b", u"c:"}, {"!Name(a)", "Name(b)"}},
      {{u"-!", u"-s", u"10", u"-f", u"b", u"c:"}, {"!Size>10", "Name(b)"}},
      {{u"-!!d", u"1", u"-d", u"-3", u"c:"}, {"!Streams>1", "Streams<3"}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunWith(c.arguments).calls[0].records, c.records);

  const Outcome directory = RunWith({u"-!f", u"\\docs\\a*", u"c:"});
  EXPECT_EQ(directory.calls[0].records, Strings{"!Name(a*)"});
  EXPECT_EQ(directory.calls[0].directories, Strings{"!Dir(\\docs)"});
}

TEST(RunSkerry, SizeAndStreamCountArguments) {
  struct Case {
    std::vector<std::u16string> arguments;
    Strings records;
  };
  const Case cases[] = {
      {{u"-s", u"12kb", u"c:"}, {"Size>12"}},
      {{u"-s", u"-1000", u"c:"}, {"Size<1000"}},
      {{u"-s0", u"c:"}, {"Size<0"}},
      {{u"-d", u"1", u"c:"}, {"Streams>1"}},
      {{u"-d", u"0", u"c:"}, {"Streams<0"}},
      {{u"-s", u"-2147483648", u"c:"}, {"Size<2147483648"}},
      {{u"-s", u"-99999999999", u"-d", u"-99999999999", u"c:"},
       {"Size<2147483648", "Streams<2147483648"}},
  };
  for (const Case& c : cases) EXPECT_EQ(RunWith(c.arguments).calls[0].records, c.records);

  for (std::u16string option : {u"-s", u"-d"}) {
    const Outcome bad = RunWith({option, u"kb", u"c:"});
    EXPECT_EQ(bad.status, -1);
    EXPECT_EQ(bad.err, L"Invalid Size argument:kb\n");
    EXPECT_TRUE(bad.calls.empty());
  }
}

TEST(RunSkerry, TimelineOptionsAndTheWalkThatCannotFillABodyFile) {
  const Outcome run = RunWith({u"-0em", u"-f", u"*.txt", u"c:"});
  ASSERT_EQ(run.calls.size(), 1u);
  EXPECT_TRUE(run.calls[0].settings.nulTerminated);
  EXPECT_TRUE(run.calls[0].settings.includeDeleted);
  EXPECT_TRUE(run.calls[0].settings.bodyFile);
  EXPECT_EQ(run.calls[0].records, Strings{"Name(*.txt)"});

  const Outcome walk = RunWith({u"-z", u"-m", u"c:\\*.txt"});
  EXPECT_EQ(walk.status, -1);
  EXPECT_EQ(walk.err, L"Option -m cannot be used with -z\n");
  EXPECT_TRUE(walk.calls.empty());
  EXPECT_TRUE(RunWith({u"-z0", u"c:\\*.txt"}).calls.at(0).settings.nulTerminated);
}

class ClockAt : public ::testing::Test {
 protected:
  static constexpr int64_t kNow = 4102444800;  // 2100-01-01, past the 32-bit range
  void SetUp() override {
    SetClockForTesting([] { return kNow; });
  }
  void TearDown() override { SetClockForTesting({}); }
  static std::string Reference(int64_t ageSeconds) {
    return std::to_string((uint64_t(kNow - ageSeconds) + 11644473600) * 10000000);
  }
};

TEST_F(ClockAt, AgeArgumentGivesTheReferenceTimeAndDirection) {
  EXPECT_EQ(RunWith({u"-t", u"-0.5", u"c:"}).calls[0].records,
            Strings{"After(" + Reference(43200) + ")"});
  EXPECT_EQ(RunWith({u"-t", u"2.5", u"c:"}).calls[0].records,
            Strings{"Before(" + Reference(216000) + ")"});
  EXPECT_EQ(RunWith({u"-t0", u"c:"}).calls[0].records, Strings{"Before(" + Reference(0) + ")"});
  EXPECT_EQ(RunWith({u"-t", u"1e300", u"c:"}).calls[0].records, Strings{"Before(0)"});

  for (std::u16string_view bad : {u"x", u"inf", u"nan", u""}) {
    const Outcome run = RunWith({u"-t", std::u16string(bad), u"c:"});
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.err, L"Invalid Modify Days argument, expect floating point number\n");
    EXPECT_TRUE(run.calls.empty());
  }
}

TEST(RunSkerry, DriveArgumentPatternAppliesToThatArgumentOnly) {
  const Outcome run = RunWith({u"-s", u"5", u"c:\\dir\\*.txt", u"d:", u"e:\\*.log", u"f:x.bin"});
  ASSERT_EQ(run.calls.size(), 4u);
  EXPECT_EQ(run.calls[0].argument, u"c:\\dir\\*.txt");
  EXPECT_EQ(run.calls[0].records, (Strings{"Size>5", "Name(*.txt)"}));
  EXPECT_EQ(run.calls[0].directories, Strings{"Dir(\\dir)"});
  EXPECT_TRUE(run.calls[0].settings.hasDirectoryFilter);

  EXPECT_EQ(run.calls[1].argument, u"d:");
  EXPECT_EQ(run.calls[1].records, Strings{"Size>5"});
  EXPECT_TRUE(run.calls[1].directories.empty());
  EXPECT_FALSE(run.calls[1].settings.hasDirectoryFilter);

  EXPECT_EQ(run.calls[2].records, (Strings{"Size>5", "Name(*.log)"}));
  EXPECT_TRUE(run.calls[2].directories.empty());
  EXPECT_EQ(run.calls[3].records, (Strings{"Size>5", "Name(x.bin)"}));
  for (const Call& call : run.calls) EXPECT_TRUE(call.settings.savedFilters.size() == 2);
}

TEST(RunSkerry, DirectoryFilterOfOptionsIsSeenByEveryDrive) {
  const Outcome run = RunWith({u"-f", u"\\docs\\*", u"c:", u"d:\\x\\y"});
  ASSERT_EQ(run.calls.size(), 2u);
  EXPECT_TRUE(run.calls[0].settings.hasDirectoryFilter);
  EXPECT_EQ(run.calls[0].directories, Strings{"Dir(\\docs)"});
  EXPECT_EQ(run.calls[1].directories, (Strings{"Dir(\\docs)", "Dir(\\x)"}));
  EXPECT_EQ(run.calls[1].records, Strings{"Name(y)"});
}

TEST(RunSkerry, DriveArgumentPatternIsNeverInverted) {
  const Outcome run = RunWith({u"-!", u"c:\\*.txt"});
  EXPECT_EQ(run.calls[0].records, Strings{"Name(*.txt)"});
}

TEST(RunSkerry, ShortDriveArgumentsCompileNoPattern) {
  const Outcome run = RunWith({u"c:", u"c:\\", u"c:x", u"abcd"});
  ASSERT_EQ(run.calls.size(), 4u);
  for (const Call& call : run.calls) {
    EXPECT_TRUE(call.records.empty());
    EXPECT_TRUE(call.directories.empty());
  }
}

TEST(RunSkerry, StatusIsTheOrOfTheDrivesCodes) {
  const Outcome run = RunWith({u"c:", u"d:", u"e:"}, {{u"c:", 5}, {u"e:", 2}});
  EXPECT_EQ(run.calls.size(), 3u);
  EXPECT_EQ(run.status, 7);
}

TEST(RunSkerry, SlowWalkStartsAtTheArgumentsLastBackslash) {
  const Outcome run = RunWith({u"-z", u"c:\\windows\\system32\\*.dll", u"c:", u"c:\\*.dll"},
                              {{u"c:\\windows\\system32", 5}, {u"c:", 2}});
  ASSERT_EQ(run.calls.size(), 3u);
  for (const Call& call : run.calls) EXPECT_TRUE(call.walk);
  EXPECT_EQ(run.calls[0].argument, u"c:\\windows\\system32");
  EXPECT_EQ(run.calls[0].directories, Strings{"Dir(\\windows\\system32)"});
  EXPECT_EQ(run.calls[0].records, Strings{"Name(*.dll)"});
  EXPECT_EQ(run.calls[1].argument, u"c:");
  EXPECT_EQ(run.calls[2].argument, u"c:");
  EXPECT_EQ(run.calls[2].records, Strings{"Name(*.dll)"});
  EXPECT_EQ(run.status, 7);

  // Long arguments are not cut to any fixed buffer.
  const std::u16string longDirectory = u"c:\\" + std::u16string(300, u'd');
  const Outcome longRun = RunWith({u"-z", longDirectory + u"\\f"});
  ASSERT_EQ(longRun.calls.size(), 1u);
  EXPECT_EQ(longRun.calls[0].argument, longDirectory);
}

TEST(RunSkerry, OptionErrorsAreReportedAndNothingIsScanned) {
  struct Case {
    std::vector<std::u16string> arguments;
    std::wstring message;
  };
  const Case cases[] = {
      {{u"-x", u"c:"}, L"Invalid option: -x\n"},
      {{u"-Sx", u"c:"}, L"Invalid option: -x\n"},
      {{u"-:"}, L"Invalid option: -:\n"},
      {{u"-="}, L"Invalid option: -=\n"},
      {{u"-f"}, L"Option -f requires an argument\n"},
      {{u"-S", u"-t"}, L"Option -t requires an argument\n"},
      {{u"-\u00E9"}, L"Invalid option: -\u00E9\n"},
  };
  for (const Case& c : cases) {
    const Outcome run = RunWith(c.arguments);
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.err, c.message);
    EXPECT_TRUE(run.calls.empty());
  }
}

TEST(RunSkerry, DashAndDoubleDashEndTheOptionsWithoutError) {
  const Outcome dash = RunWith({u"-S-", u"c:"});
  // The token that held the "-" becomes the first drive argument.
  ASSERT_EQ(dash.calls.size(), 2u);
  EXPECT_EQ(dash.calls[0].argument, u"-S-");
  EXPECT_EQ(dash.calls[1].argument, u"c:");
  EXPECT_TRUE(dash.calls[0].settings.showSize);
  EXPECT_TRUE(dash.err.empty());
  EXPECT_EQ(dash.status, 0);

  const Outcome doubleDash = RunWith({u"--", u"-S"});
  ASSERT_EQ(doubleDash.calls.size(), 1u);
  EXPECT_EQ(doubleDash.calls[0].argument, u"-S");
  EXPECT_FALSE(doubleDash.calls[0].settings.showSize);
  EXPECT_TRUE(doubleDash.err.empty());
}

TEST(DrivePathPattern, KeepsTheSeparatorOnlyBeforeADirectoryPart) {
  struct Case {
    std::u16string_view argument;
    std::u16string_view pattern;
  };
  const Case cases[] = {
      {u"c:", u""},
      {u"c:\\", u""},
      {u"c:x", u""},
      {u"c:\\*.dll", u"*.dll"},
      {u"c:x.bin", u"x.bin"},
      {u"c:\\dir\\*.txt", u"\\dir\\*.txt"},
      {u"c:\\dir\\", u"\\dir\\"},
      {u"abcd", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(DrivePathPattern(c.argument, u'\\'), c.pattern);
}

}  // namespace
}  // namespace skerry
