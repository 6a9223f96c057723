#pragma once
// The data and program folders of the developer tools that read a data set
// together with its text tables.

#include <cstdio>
#include <string>

#include "datastore/db_table.h"
#include "datastore/text_table.h"
#include "platform/fs.h"

// Both folders get their trailing "/"; the program folder defaults to
// "../program" beside the data folder (the build's layout), else the data
// folder itself.  Sets the data folder and loads both text tables, warning
// (as `tool`) about one that cannot be read.  False, after a message, when
// the data folder does not exist.
inline bool OpenToolFolders(const char* tool, std::string& data, std::string& program)
{
    data = WithTrailingSlash(data);
    if (!FolderExists(data)) {
        std::fprintf(stderr, "%s: no data folder %s\n", tool, data.c_str());
        return false;
    }
    if (program.empty())
        program = FolderExists(data + "../program") ? data + "../program" : data;
    program = WithTrailingSlash(program);
    SetDataDir(data);
    if (LoadTextTable(DataTexts, data + "kalvo.ces") < TextTableResult::FirstSuccess)
        std::fprintf(stderr, "%s: warning: no data texts %skalvo.ces\n", tool, data.c_str());
    if (LoadTextTable(UiTexts, program + "qevw.ces") < TextTableResult::FirstSuccess)
        std::fprintf(stderr, "%s: warning: no program texts %sqevw.ces\n", tool, program.c_str());
    return true;
}
