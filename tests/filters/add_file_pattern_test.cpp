#include "filters/add_file_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters/match_predicates.h"
#include "filters/test_views.h"

namespace skerry {
namespace {

using testing::FileIn;
using testing::FileNameOf;

struct Compiled {
  std::vector<std::u16string> names;
  std::vector<std::u16string> directories;
  bool hasDirectoryFilter;
};

Compiled Compile(std::u16string_view pattern) {
  ScanSettings settings;
  AddFilePattern(pattern, settings, true);
  Compiled compiled{{}, {}, settings.hasDirectoryFilter};
  for (const Ref<Match>& p : settings.recordFilter->predicates()) {
    compiled.names.push_back(dynamic_cast<const MatchName&>(*p).pattern);
  }
  for (const Ref<Match>& p : settings.directoryFilter->predicates()) {
    compiled.directories.push_back(dynamic_cast<const MatchDirectory&>(*p).pattern);
  }
  return compiled;
}

struct PatternCase {
  std::u16string_view pattern;
  std::vector<std::u16string> names;
  std::vector<std::u16string> directories;
};

class AddFilePatternSplits : public ::testing::TestWithParam<PatternCase> {};

TEST_P(AddFilePatternSplits, IntoNameAndDirectoryPredicates) {
  const PatternCase& c = GetParam();
  const Compiled compiled = Compile(c.pattern);
  EXPECT_EQ(compiled.names, c.names);
  EXPECT_EQ(compiled.directories, c.directories);
  EXPECT_EQ(compiled.hasDirectoryFilter, !c.directories.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Examples, AddFilePatternSplits,
    ::testing::Values(PatternCase{u"F*", {u"F*"}, {}}, PatternCase{u"*.log", {u"*.log"}, {}},
                      PatternCase{u"", {u""}, {}},
                      PatternCase{u"\\*\\foo*\\*.txt", {u"*.txt"}, {u"\\*\\foo*"}},
                      PatternCase{u"\\docs\\report*", {u"report*"}, {u"\\docs"}},
                      PatternCase{u"\\docs\\", {}, {u"\\docs"}},
                      PatternCase{u"\\docs\\*", {}, {u"\\docs"}},
                      PatternCase{u"\\docs\\*.*", {}, {u"\\docs"}},
                      PatternCase{u"\\docs\\**", {u"**"}, {u"\\docs"}},
                      PatternCase{u"\\*.txt", {u"*.txt"}, {u""}}, PatternCase{u"\\", {}, {u""}},
                      PatternCase{u"docs\\a.txt", {u"a.txt"}, {u"docs"}}));

// Whether a file with this directory path and name passes both lists.
bool Passes(ScanSettings& settings, std::u16string_view directory, std::u16string_view name) {
  const StandardInfoBlock si{};
  const FileNameBlock fn = FileNameOf(name);
  const testing::FakeFile file = FileIn(directory);
  return settings.recordFilter->Matches(si, fn, file) &&
         settings.directoryFilter->Matches(si, fn, file);
}

TEST(AddFilePattern, SelectsFilesByWholeDirectoryPath) {
  struct Case {
    std::u16string_view pattern;
    std::u16string_view directory;
    std::u16string_view name;
    bool passes;
  };
  const Case cases[] = {
      {u"\\*\\foo*\\*.txt", u"\\a\\foo", u"x.txt", true},
      {u"\\*\\foo*\\*.txt", u"\\a\\foo", u"x.bin", false},
      {u"\\*\\foo*\\*.txt", u"\\a\\foobar", u"y", false},
      {u"\\*\\foo*\\*.txt", u"\\a\\foo\\b", u"z.txt", true},
      {u"\\docs\\*.*", u"\\docs", u"README", true},
      {u"\\*\\foo*\\*.txt", u"\\foo", u"z.txt", false},
      {u"\\*\\foo*\\*.txt", u"", u"z.txt", false},
      {u"\\docs\\report*", u"\\docs", u"report1.txt", true},
      {u"\\docs\\report*", u"\\docs\\old", u"report1.txt", false},
      {u"\\*.txt", u"", u"a.txt", true},
      {u"\\*.txt", u"", u"a.log", false},
      {u"\\*.txt", u"\\docs", u"a.txt", false},
      {u"docs\\a.txt", u"\\docs", u"a.txt", false},
      {u"docs\\a.txt", u"docs", u"a.txt", true},
  };
  for (const Case& c : cases) {
    ScanSettings settings;
    AddFilePattern(c.pattern, settings, true);
    EXPECT_EQ(Passes(settings, c.directory, c.name), c.passes)
        << std::string(c.pattern.begin(), c.pattern.end()) << " on "
        << std::string(c.directory.begin(), c.directory.end()) << "\\"
        << std::string(c.name.begin(), c.name.end());
  }
}

TEST(AddFilePattern, InvertedPatternInvertsEachPartOnItsOwn) {
  ScanSettings settings;
  AddFilePattern(u"\\docs\\a*", settings, false);
  EXPECT_FALSE(Passes(settings, u"\\docs", u"b.txt"));
  EXPECT_FALSE(Passes(settings, u"\\tmp", u"a.txt"));
  EXPECT_TRUE(Passes(settings, u"\\tmp", u"b.txt"));

  // A name part that begins with "*" is inverted the same way.
  ScanSettings logs;
  AddFilePattern(u"\\tmp\\*.log", logs, false);
  EXPECT_FALSE(Passes(logs, u"\\var", u"x.log"));
  EXPECT_FALSE(Passes(logs, u"\\tmp", u"x.txt"));
  EXPECT_TRUE(Passes(logs, u"\\var", u"x.txt"));
}

TEST(AddFilePattern, ListsHoldTheOnlyReferenceAndUseTheSettingsSeparator) {
  ScanSettings settings;
  settings.separator = u'/';
  AddFilePattern(u"/docs/a*", settings, true);
  ASSERT_EQ(settings.recordFilter->predicates().size(), 1u);
  ASSERT_EQ(settings.directoryFilter->predicates().size(), 1u);
  EXPECT_EQ(settings.recordFilter->predicates()[0].holder()->count, 1);
  EXPECT_EQ(settings.directoryFilter->predicates()[0].holder()->count, 1);
  EXPECT_EQ(dynamic_cast<const MatchDirectory&>(*settings.directoryFilter->predicates()[0]).pattern,
            u"/docs");
}

TEST(AddFilePattern, PatternWithoutSeparatorLeavesTheDirectoryFlagAlone) {
  ScanSettings settings;
  settings.hasDirectoryFilter = true;
  AddFilePattern(u"F*", settings, true);
  EXPECT_TRUE(settings.hasDirectoryFilter);
}

}  // namespace
}  // namespace skerry
