#include "driver/run_skerry.h"

#include <cstdlib>

#include "driver/number_arguments.h"
#include "driver/option_scanner.h"
#include "driver/usage_text.h"
#include "filters/add_file_pattern.h"
#include "filters/match_predicates.h"
#include "filters/wild_match.h"
#include "ntfs/drive_names.h"
#include "platform/clock.h"
#include "platform/error_line.h"
#include "platform/text.h"

namespace skerry {
namespace {

// -A's letters are optional, after "=" (OptionScanner).
constexpr std::u16string_view kOptionString = u"!#0A=DIQSTVd:ef:ms:t:z?";
constexpr std::u16string_view kDefaultDrive = u"c:\\";
constexpr uint32_t kSystemAttributeOnly = 0x00000004;

void AppendPredicate(ScanSettings& settings, Ref<Match> predicate) {
  settings.recordFilter->Append(predicate);
}

// -A: the argument after "=" rebuilds the mask letter by letter.
void ApplyAttributeOption(std::u16string_view argument, ScanSettings& settings,
                          std::wostream& err) {
  settings.showAttributes = !settings.showAttributes;
  settings.attributeMask = kAllAttributes;
  if (argument.empty() || argument[0] != u'=') return;
  settings.attributeMask = 0;
  for (const char16_t letter : argument.substr(1)) {
    switch (FoldAsciiCapital(letter)) {
      case u'c':
        settings.attributeMask |= 0x00000800;
        break;
      case u'd':
        settings.attributeMask |= kFileNameDirectoryFlag;
        break;
      case u'f':
        settings.attributeMask = ~kFileNameDirectoryFlag;
        break;
      case u'h':
        settings.attributeMask |= 0x00000002;
        break;
      case u'r':
        settings.attributeMask |= 0x00000001;
        break;
      case u's':
        settings.attributeMask |= 0x00000004;
        break;
      default:
        err << L"Invalid attribute argument:" << Text(argument) << L"\n";
        err.flush();
        break;
    }
  }
}

// The scanner stops without a message; the user gets one and nothing is
// scanned, rather than a scan whose options were silently cut short.
void ReportOptionError(const OptionScanner& scanner, std::wostream& err) {
  const std::u16string_view letter(&scanner.optionChar, 1);
  const bool known = scanner.optionChar != u':' && scanner.optionChar != u'=' &&
                     kOptionString.find(scanner.optionChar) != kOptionString.npos;
  if (known) {
    err << L"Option -" << Text(letter) << L" requires an argument\n";
  } else {
    err << L"Invalid option: -" << Text(letter) << L"\n";
  }
  err.flush();
}

uint64_t Magnitude(int32_t n) { return n < 0 ? uint64_t{0} - uint64_t(int64_t{n}) : uint64_t(n); }

// Returns false when the option's number cannot be read (the run then ends).
bool ApplyOption(const OptionScanner& scanner, ScanSettings& settings, bool& expected,
                 bool& slowWalk, std::wostream& err) {
  const std::u16string_view argument = scanner.optionArgument.value_or(u"");
  switch (scanner.optionChar) {
    case u'!':
      expected = false;
      break;
    case u'#':
      settings.showNameCount = true;
      settings.showStreamCount = true;
      break;
    case u'A':
      ApplyAttributeOption(argument, settings, err);
      break;
    case u'D':
      settings.showDirectory = !settings.showDirectory;
      break;
    case u'I':
      settings.showIndex = !settings.showIndex;
      break;
    case u'Q':
      settings.queryMode = true;
      settings.attributeMask = kSystemAttributeOnly;
      break;
    case u'S':
      settings.showSize = !settings.showSize;
      break;
    case u'T':
      settings.showTime = !settings.showTime;
      break;
    case u'V':
      settings.showVcn = true;
      break;
    case u'z':
      slowWalk = true;
      break;
    case u'm':
      settings.bodyFile = true;
      break;
    case u'0':
      settings.nulTerminated = true;
      break;
    case u'e':
      settings.includeDeleted = true;
      break;
    case u'd':
    case u's': {
      const std::optional<int32_t> n = ParseDecimalInteger(argument);
      if (!n) {
        err << L"Invalid Size argument:" << Text(argument) << L"\n";
        err.flush();
        return false;
      }
      if (scanner.optionChar == u's') {
        AppendPredicate(settings,
                        Ref<Match>::Make<MatchSize>(expected, static_cast<int64_t>(Magnitude(*n)),
                                                    *n > 0 ? SizeGreater : SizeLess));
      } else {
        AppendPredicate(settings, Ref<Match>::Make<StreamCntMatch>(
                                      expected, Magnitude(*n), *n > 0 ? CountGreater : CountLess));
      }
      expected = true;
      break;
    }
    case u't': {
      const std::optional<double> days = ParseDecimalReal(argument);
      if (!days) {
        err << L"Invalid Modify Days argument, expect floating point number\n";
        err.flush();
        return false;
      }
      AppendPredicate(
          settings, Ref<Match>::Make<MatchDate>(expected, AgeReference(*days, CurrentUnixSeconds()),
                                                *days < 0 ? TimeAfter : TimeBefore));
      expected = true;
      break;
    }
    case u'f':
      AddFilePattern(argument, settings, expected);
      expected = true;
      break;
    default:
      break;
  }
  return true;
}

// The walk goes through the system's own directories, which a disk image
// mapped for this run does not have.
uint32_t RefuseMappedWalk(std::u16string_view argument, std::wostream& err) {
  WriteErrorLine(err, kErrorInvalidParameter);
  err << Text(argument)
      << L": -z walks directories through the system, and a drive mapped with x:=PATH has none;"
         L" leave out -z to read its MFT\n";
  err.flush();
  return kErrorInvalidParameter;
}

}  // namespace

std::u16string_view DrivePathPattern(std::u16string_view argument, char16_t separator) {
  if (argument.size() <= 3 || argument[1] != u':') return {};
  std::u16string_view path = argument.substr(2);
  if (path[0] == separator && path.find(separator, 1) == path.npos) path.remove_prefix(1);
  return path;
}

std::u16string_view WalkStartDirectory(std::u16string_view argument) {
  const size_t lastBackslash = argument.rfind(u'\\');
  return lastBackslash == argument.npos ? argument : argument.substr(0, lastBackslash);
}

int RunSkerry(const std::vector<std::u16string>& args, std::wostream& out, std::wostream& err,
              const DriveRunners& runners) {
  ScanSettings settings;
  // Without even a program name there is nothing to scan for either.
  if (args.size() <= 1) {
    WriteUsage(out);
    return 0;
  }

  // Alone, --help and --version answer and end the run; anywhere else "--"
  // ends the options as usual.
  if (args.size() == 2 && args[1] == u"--help") {
    WriteHelp(out);
    return 0;
  }
  if (args.size() == 2 && args[1] == u"--version") {
    WriteVersion(out);
    return 0;
  }

  OptionScanner scanner(args, kOptionString);
  bool expected = true;
  bool slowWalk = false;
  while (scanner.Next()) {
    if (scanner.optionChar == u'?') {
      WriteUsage(out);
      return 0;
    }
    if (!ApplyOption(scanner, settings, expected, slowWalk, err)) return -1;
  }
  if (scanner.error) {
    ReportOptionError(scanner, err);
    return -1;
  }
  // A directory walk sees no MFT records, so it has nothing to fill a body file with.
  if (settings.bodyFile && slowWalk) {
    err << L"Option -m cannot be used with -z\n";
    err.flush();
    return -1;
  }

  const size_t first = static_cast<size_t>(scanner.nextIndex);
  if (first >= args.size()) {
    // The default drive takes no pattern and is always scanned through its MFT.
    return static_cast<int>(runners.scanDrive(kDefaultDrive, settings, out));
  }

  uint32_t status = 0;
  for (size_t i = first; i < args.size(); ++i) {
    const std::u16string_view argument = args[i];
    settings.SaveFilters();
    settings.hasDirectoryFilter = !settings.directoryFilter->predicates().empty();
    const bool mapped = ParseDriveMapping(argument).has_value();
    if (mapped && slowWalk) {
      status |= RefuseMappedWalk(argument, err);
      settings.RestoreFilters();
      continue;
    }
    // A mapped drive (d:=PATH) has no path part: all after "=" is the path.
    if (!mapped && argument.size() > 3 && argument[1] == u':') {
      // A drive argument's own pattern is never inverted, whatever -! said.
      AddFilePattern(DrivePathPattern(argument, settings.separator), settings, true);
    }
    status |= slowWalk ? runners.walk(WalkStartDirectory(argument), settings, out)
                       : runners.scanDrive(argument, settings, out);
    settings.RestoreFilters();
  }
  return static_cast<int>(status);
}

}  // namespace skerry
