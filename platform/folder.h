// Folder enumeration in the order a file manager shows a folder.
#pragma once

#include <string>
#include <vector>

struct FolderEntry {
    std::string name; // the entry's own name, bytes as the file system holds them
    bool isDirectory = false;
};

// Orders names as people read them: letters compared without regard to case
// (ASCII), runs of digits by their value ("pic2" before "pic11", "a01" equal
// to "a1" until the tie-break), and ties broken by the exact bytes so that
// the order is total. Negative, zero or positive like strcmp.
int NaturalCompare(const std::string& a, const std::string& b);
inline bool NaturalLess(const std::string& a, const std::string& b)
{
    return NaturalCompare(a, b) < 0;
}

enum class FolderOrder { Natural, AsStored };

// The entries of folder `dir` ("." and ".." left out), in natural order or
// in the file system's own. False, with `out` empty, when the folder cannot
// be read.
bool ReadFolder(const std::string& dir, std::vector<FolderEntry>& out, FolderOrder order = FolderOrder::Natural);
