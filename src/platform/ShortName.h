// The 8.3 short form of a file name, standing in for the platform's short path names: the part
// of a long name that a node's 12-byte name field can carry.
#pragma once

#include <string>

// Short name ("BASE~N.EXT", upper case) of the file at `path`. N counts the files of the same
// folder whose long names share the short stem, in name order, so names stay distinct.
std::string ShortFileName(const std::string& path);
