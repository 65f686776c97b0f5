#include <gtest/gtest.h>

#include "filters/match_predicates.h"
#include "filters/multi_filter.h"
#include "filters/ref_holder.h"
#include "filters/scan_settings.h"
#include "filters/test_views.h"

namespace skerry {
namespace {

using testing::FileIn;
using testing::FileNameOf;
using testing::MakeProbe;
using testing::Probe;

const StandardInfoBlock kNoStandardInfo{};

TEST(RefHolder, CountsReferencesAndDestroysWithTheLast) {
  Probe probe;
  Ref<Match> first = MakeProbe(true, probe);
  RefHolder<Match>* holder = first.holder();
  EXPECT_EQ(holder->count, 1);
  EXPECT_EQ(holder->tag, 123456);
  {
    Ref<Match> second = first;
    EXPECT_EQ(holder->count, 2);
    Ref<Match> third;
    third = second;
    EXPECT_EQ(holder->count, 3);
    third = first;  // already the same holder: no change
    EXPECT_EQ(holder->count, 3);
    third = third;
    EXPECT_EQ(holder->count, 3);
  }
  EXPECT_EQ(holder->count, 1);
  EXPECT_EQ(probe.destroyed, 0);
  first.Reset();
  EXPECT_EQ(probe.destroyed, 1);
  EXPECT_EQ(probe.countAtDestruction, 0);
  EXPECT_EQ(probe.tagAtDestruction, 654321);
}

TEST(RefHolder, AssignmentReleasesThePreviousObject) {
  Probe old;
  Probe replacement;
  Ref<Match> field = MakeProbe(true, old);
  Ref<Match> source = MakeProbe(true, replacement);
  field = source;
  EXPECT_EQ(old.destroyed, 1);
  EXPECT_EQ(replacement.destroyed, 0);
  EXPECT_EQ(source.holder()->count, 2);
}

TEST(MultiFilter, EmptyListPassesEverythingAndDoesNotFilterOnLoad) {
  MultiFilter list;
  EXPECT_TRUE(list.Matches(kNoStandardInfo, FileNameOf(u""), FileIn(u"")));
  EXPECT_FALSE(list.FiltersOnLoad());
}

TEST(MultiFilter, StopsAtTheFirstFailingPredicate) {
  MultiFilter list;
  list.Append(Ref<Match>::Make<MatchName>(true, u"*.txt"));
  Probe size;
  list.Append(MakeProbe(true, size));
  EXPECT_TRUE(list.FiltersOnLoad());

  EXPECT_FALSE(list.Matches(kNoStandardInfo, FileNameOf(u"a.log"), FileIn(u"")));
  EXPECT_EQ(size.calls, 0);
  EXPECT_TRUE(list.Matches(kNoStandardInfo, FileNameOf(u"a.txt"), FileIn(u"")));
  EXPECT_EQ(size.calls, 1);
}

TEST(MultiFilter, SharedPredicateLivesUntilBothListsAreGone) {
  Probe probe;
  auto list = Ref<MultiFilter>::Make();
  {
    Ref<Match> predicate = MakeProbe(true, probe);
    list->Append(predicate);
  }  // the creator's reference is dropped at once, as the driver does
  auto copy = Ref<MultiFilter>::Make(*list);
  EXPECT_EQ(list->predicates()[0].holder()->count, 2);
  list.Reset();
  EXPECT_EQ(probe.destroyed, 0);
  copy.Reset();
  EXPECT_EQ(probe.destroyed, 1);
  EXPECT_EQ(probe.countAtDestruction, 0);
  EXPECT_EQ(probe.tagAtDestruction, 654321);
}

TEST(ScanSettings, DefaultsListEveryFileWithItsDirectory) {
  ScanSettings settings;
  EXPECT_EQ(settings.attributeMask, 0xFFFFFFFFu);
  EXPECT_TRUE(settings.showDirectory);
  EXPECT_FALSE(settings.queryMode || settings.showIndex || settings.showTime ||
               settings.showSize || settings.showAttributes || settings.hasDirectoryFilter ||
               settings.showNameCount || settings.showStreamCount || settings.showVcn);
  EXPECT_EQ(settings.separator, u'\\');
  EXPECT_EQ(settings.columnSeparator, u" ");
  EXPECT_TRUE(settings.drivePrefix.empty());
  EXPECT_TRUE(settings.recordFilter->predicates().empty());
  EXPECT_TRUE(settings.directoryFilter->predicates().empty());
  EXPECT_EQ(settings.recordFilter.holder()->count, 1);
  EXPECT_TRUE(settings.savedFilters.empty());
}

TEST(ScanSettings, RestoreBringsBackTheListsOfTheSave) {
  ScanSettings settings;
  Probe kept;
  settings.recordFilter->Append(MakeProbe(true, kept));

  settings.SaveFilters();
  Probe added;
  Probe addedDirectory;
  settings.recordFilter->Append(MakeProbe(true, added));
  settings.directoryFilter->Append(MakeProbe(true, addedDirectory));
  settings.RestoreFilters();

  EXPECT_TRUE(settings.savedFilters.empty());
  ASSERT_EQ(settings.recordFilter->predicates().size(), 1u);
  EXPECT_TRUE(settings.directoryFilter->predicates().empty());
  EXPECT_EQ(added.destroyed, 1);
  EXPECT_EQ(added.tagAtDestruction, 654321);
  EXPECT_EQ(addedDirectory.destroyed, 1);
  EXPECT_EQ(kept.destroyed, 0);
  EXPECT_EQ(settings.recordFilter->predicates()[0].holder()->count, 1);
  EXPECT_EQ(settings.recordFilter.holder()->count, 1);

  // A restore without a save leaves the lists alone.
  settings.RestoreFilters();
  EXPECT_EQ(settings.recordFilter->predicates().size(), 1u);
}

TEST(ScanSettings, CopySharesListsAndMayReplaceItsOwn) {
  Probe probe;
  auto source = std::make_unique<ScanSettings>();
  source->recordFilter->Append(MakeProbe(false, probe));
  source->SaveFilters();
  MultiFilter* sourceList = source->recordFilter.get();
  {
    ScanSettings copy = *source;
    EXPECT_EQ(copy.recordFilter.get(), sourceList);
    EXPECT_EQ(source->recordFilter.holder()->count, 2);
    EXPECT_EQ(source->savedFilters[0].holder()->count, 2);
    EXPECT_FALSE(copy.recordFilter->Matches(kNoStandardInfo, FileNameOf(u"x"), FileIn(u"")));
    copy.recordFilter = Ref<MultiFilter>::Make();
    EXPECT_EQ(source->recordFilter.holder()->count, 1);
    EXPECT_TRUE(copy.recordFilter->Matches(kNoStandardInfo, FileNameOf(u"x"), FileIn(u"")));
  }
  EXPECT_EQ(source->recordFilter.get(), sourceList);
  EXPECT_EQ(source->recordFilter.holder()->count, 1);
  EXPECT_EQ(source->recordFilter->predicates().size(), 1u);
  // The predicate is held by the list and by the saved copy of the list.
  EXPECT_EQ(source->recordFilter->predicates()[0].holder()->count, 2);
  source.reset();
  EXPECT_EQ(probe.destroyed, 1);
}

}  // namespace
}  // namespace skerry
