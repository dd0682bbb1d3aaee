#pragma once
// Where the program finds what ships beside it: the layouts, style sheet and
// images ("skin/") and its typefaces ("Font/").
//
// Run from the build tree (or unpacked anywhere) they lie beside the program;
// installed under a prefix, the program lies in <prefix>/bin and they lie in
// <prefix>/share/velkor. Paths have no length limit of their own.
#include <string>

namespace velkor {

struct ProgramFolders {
    std::string program; // the folder of the program file
    std::string skin;    // resource folder with the index "res.xml"
    std::string fonts;   // the program's own typefaces
};

// The folders for a program that lies in `programFolder`: "skin" and "Font"
// beside it when "skin" is there, else those of the installed data folder
// when that has a "skin", else the ones beside it (so that an error names
// the place the program looked first).
ProgramFolders LocateProgramFolders(const std::string& programFolder);

} // namespace velkor
