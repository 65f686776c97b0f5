# Writes the test-disk builder's description of the benchmark disk: `files`
# files spread over `dirs` directories 1 to 8 levels deep, with names of 5 to
# 40 characters (some outside ASCII), DOS names, hard links, named streams,
# hidden and read-only files, varied times, and both resident (0 to 600 bytes)
# and non-resident (1 to 16 KB) contents.
#
#   awk -v files=406000 -f bench/tree_description.awk
#   awk -v files=200000 -v dirs=1 -f bench/tree_description.awk
#
# Without `dirs`, the directories keep the shape of the 406,000-file disk: one
# for every 10.15 files (40,000 there). The disk grows with the files (6 GiB
# for 406,000, at least 1 GiB), so that the MFT stays inside its zone and
# record 0 lists all its runs.
#
# The random numbers are the script's own (Park-Miller; every product stays
# below 2^53, so each awk computes it exactly), so every awk writes the same
# text. Every name starts with a base-36 number unique on the volume and
# then "_" (links: "-"), so no two names can collide, whatever their case.

function next_random() {
  state = (state * 48271) % 2147483647
  return state
}

function below(n) {
  return next_random() % n
}

function base36(n,    text) {
  text = ""
  do {
    text = substr(DIGITS, n % 36 + 1, 1) text
    n = int(n / 36)
  } while (n > 0)
  return text
}

# Letters, digits, and a blank or a dash inside (never at the ends).
function random_text(count,    text, i, c) {
  text = ""
  for (i = 1; i <= count; i++) {
    c = substr(STEM, below(length(STEM)) + 1, 1)
    if ((c == " " || c == "-") && (i == 1 || i == count)) c = "x"
    text = text c
  }
  return text
}

# A name of 5 to 40 UTF-16 units: the unique number, "_", one time in twelve
# a word outside ASCII, random text, the extension.
function make_name(id, extension,    target, word, units, fixed, name) {
  target = 5 + below(36)
  word = ""
  units = 0
  if (below(12) == 0) {
    word = WORD[below(WORDS)]
    units = WORD_UNITS[word]
  }
  name = base36(id) "_" word
  fixed = length(base36(id)) + 1 + units + length(extension)
  if (target > fixed) name = name random_text(target - fixed)
  return name extension
}

function dos_name(id, extension,    base, ext) {
  base = toupper(base36(id))
  while (length(base) < 6) base = "0" base
  ext = toupper(substr(extension, 2, 3))
  return base "~1" (ext == "" ? "" : "." ext)
}

function two(n) {
  return n < 10 ? "0" n : n
}

function random_time(    year) {
  year = 2012 + below(13)
  return year "-" two(1 + below(12)) "-" two(1 + below(28)) "T" two(below(24)) ":" \
    two(below(60)) ":" two(below(60))
}

BEGIN {
  if (files == "") files = 406000
  if (dirs == "") dirs = int(files * 40000 / 406000 + 0.5)
  if (dirs < 1) dirs = 1
  gib = int((6 * files + 405999) / 406000)
  if (gib < 1) gib = 1
  state = 20240101
  DIGITS = "0123456789abcdefghijklmnopqrstuvwxyz"
  STEM = "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnop -"
  # Words outside ASCII and their length in UTF-16 units.
  WORDS = split("café Ünïcödé 日本語 Привет ελληνικά 😀 ñandú 中文档案 Ærøskøbing", WORD_LIST, " ")
  split("4 7 3 6 8 2 5 4 10", WORD_LIST_UNITS, " ")
  for (i = 1; i <= WORDS; i++) {
    WORD[i - 1] = WORD_LIST[i]
    WORD_UNITS[WORD_LIST[i]] = WORD_LIST_UNITS[i]
  }
  EXTENSIONS = split(".txt .log .dat .jpg .png .c .h .cpp .dll .exe .xml .json .pdf .docx",
                     EXTENSION, " ")

  print "disk size=" gib "GiB time=2024-01-01T00:00:00"
  print "partition type=0x07 start=1MiB size=" (gib * 1024 - 1) "MiB fs=ntfs label=BENCH"

  # Directories level by level: 200 in the root, the rest spread evenly over
  # levels 2 to 8, each under a random directory of the level above.
  id = 0
  top = dirs < 200 ? dirs : 200
  for (d = 0; d < dirs; d++) {
    level = d < top ? 1 : 2 + int((d - top) * 7 / (dirs - top))
    if (level != current) {
      current = level
      first[level] = d
    }
    count[level]++
    name = make_name(id, "")
    path[d] = level == 1 ? "\\" name : path[first[level - 1] + below(count[level - 1])] "\\" name
    line = "dir \"" path[d] "\""
    if (below(10) == 0) line = line " dos=" dos_name(id, "")
    print line
    id++
  }

  for (f = 0; f < files; f++) {
    extension = EXTENSION[1 + below(EXTENSIONS)]
    where = path[below(dirs)]
    file = where "\\" make_name(id, extension)
    size = below(100) < 85 ? below(601) : 1000 + below(15001)
    line = "file \"" file "\" size=" size " mtime=" random_time()
    if (below(8) == 0) line = line " dos=" dos_name(id, extension)
    kind = below(40)
    if (kind == 0) line = line " attr=ha"
    if (kind == 1) line = line " attr=ra"
    print line
    if (below(50) == 0) {
      print "link \"" file "\" \"" path[below(dirs)] "\\" base36(id) "-link" extension "\""
    }
    if (below(40) == 0) {
      print "stream \"" file "\" Zone.Identifier text=\"[ZoneTransfer] ZoneId=3\""
    }
    if (below(400) == 0) print "stream \"" file "\" thumbnail size=6000"
    id++
  }
}
