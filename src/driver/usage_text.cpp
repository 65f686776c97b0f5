#include "driver/usage_text.h"

#include <string_view>

#include "skerry_version.h"

namespace skerry {
namespace {

// Blanks at the ends of lines belong to the text.
constexpr std::string_view kUsageText =
    "\n"
    "Skerry v2.9 - Sep  2 2013\n"
    "\n"
    "Description:\n"
    "   Skerry searches NTFS Master File Table (MFT) rather then iterating across directories.\n"
    "   Skerry does not use or maintain an index database\n"
    "   By reading the MFT directly, Skerry can locate files anywhere on a disk quickly.\n"
    "   Note: Standard directory searching is faster if you know the directory to search.\n"
    "   If you don't know the directory and need to search the entire disk drive, Skerry is fast.\n"
    "\n"
    "   If you use the -z switch, it will iterate across the directories rather then using MFT.\n"
    "\n"
    "Use:\n"
    "   Skerry [options] <localNTFSdrivetoSearch>... \n"
    " Filter:\n"
    "   -d <count>                        ; Filter by data stream count  \n"
    "   -f <fileFilter>                   ; Filter by filename, use * or ? patterns \n"
    "   -s <size>                         ; Filter by file size  \n"
    "   -t <relativeModifyDate>           ; Filter by time modified, value is relative days \n"
    "   -z                                ; Force slow style directory search \n"
    " Report:\n"
    "   -A[=s|h|r|d|c]                    ; Include attributes, filter on attributes \n"
    "   -D                                ; Include directory \n"
    "   -I                                ; Include mft index \n"
    "   -S                                ; Include size \n"
    "   -T                                ; Include time \n"
    "   -V                                ; Include VCN array \n"
    "   -#                                ; Include stream and name counts \n"
    "\n"
    "   -Q                                ; Query / Display MFT information only \n"
    "\n"
    " Examples:\n"
    "  No filtering:\n"
    "    c:                 ; scan c drive, display filenames. \n"
    "    -ITSA  c:          ; scan c drive, display mft index, time, size, attributes, directory. "
    "\n"
    "  Filter examples (precede 'f' command letter with ! to invert rule):\n"
    "    -f *.txt d:        ; files ending in .txt on d: drive \n"
    "    -f \\*\\foo*\\*.txt d:; files ending in .txt on d: drive in directory starting with foo \n"
    "    -!f *.txt d:       ; files NOT ending in .txt on d: drive \n"
    "    -t 2.5 -f *.log    ; modified more than 2.5 days and ending in .log on c drive \n"
    "    -t -7 e:           ; modified less than 7 days ago on e drive \n"
    "    -s 1000 d:         ; file size greater than 1000 bytes on d drive \n"
    "    -s -1000 d: e:     ; file size less than 1000 bytes on d and e drive \n"
    "    -f F* c: d:        ; limit scan to files starting with F on either C or D \n"
    "    -d 1 d:            ; files with more than 1 data stream on d: drive \n"
    "    -Q c:              ; Display special NTFS files\n"
    "    -z c:\\windows\\system32\\*.dll   ; Force slow directory search. \n";

// What --help adds after the usage text, whose own lines stay as they were:
// the options and drive forms that came later.
constexpr std::string_view kHelpAdditions =
    "\n"
    " Also:\n"
    "   -m                                ; Body file output (for mactime), two lines per file\n"
    "   -0                                ; End each line with NUL instead of a line feed\n"
    "   -e                                ; Include deleted records (not in use)\n"
    "   x:=PATH                           ; Drive x: is the disk image, volume image or device PATH\n"
    "   x:=PATH@P                         ; Drive x: is partition P of the disk PATH\n"
    "   --help                            ; This text\n"
    "   --version                         ; Skerry's version\n";

void WriteWidened(std::string_view text, std::wostream& out) {
  for (const char c : text) out.put(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  out.flush();
}

}  // namespace

void WriteUsage(std::wostream& out) { WriteWidened(kUsageText, out); }

void WriteHelp(std::wostream& out) {
  WriteWidened(kUsageText, out);
  WriteWidened(kHelpAdditions, out);
}

void WriteVersion(std::wostream& out) {
  WriteWidened("Skerry " SKERRY_VERSION "\n", out);
}

}  // namespace skerry
