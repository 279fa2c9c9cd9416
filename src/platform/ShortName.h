// The short form of a long file name, standing in for the platform's short path names: the part
// of a long name that a node's 12-byte name field can carry.
//
// The scheme is stable: a short name depends on the long name alone, never on what else a folder
// holds, so the same file goes to a machine under the same name every time, and adding a file to
// its folder can never hand its name to another file. For a base name of 9 or more characters:
//
//   BASE   the first 3 characters of the base name that a short name may carry, upper case
//   "~"
//   HASH   4 characters (0-9 and A-Z without I, L, O, U) of a 32-bit FNV-1a hash of the whole
//          long name (base, dot and extension), upper-cased first, so case does not matter
//   EXT    "." and the first 3 such characters of the extension, when it has one
//
// e.g. "batch-east-0001.dst" -> "BAT~xxxx.DST". The same long name gives the same short name in
// every folder; two different long names share one in about one case in a million. A send that
// holds two such files gives the later one the next `probe` (the hash taken again over the name
// and the probe number), so two files of one send never share a name; see AssignNodeNames.
#pragma once

#include <string>

// Short name of the file at `path` ("BAS~HASH.EXT"); `probe` 0 is the file's own short name.
std::string ShortFileName(const std::string& path, int probe = 0);
