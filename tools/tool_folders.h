#pragma once
// The data and program folders of the developer tools that read a data set
// together with its text tables: their options and their set-up.

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

// A walk over a tool's command line that takes "-d DATA" and "-p PROGRAM"
// into the folders itself and hands every other argument to the tool:
//
//   ToolArgs args(argc, argv, data, program);
//   for (std::string a; args.Next(a);)
//       if (a == "--file" && !args.Value(file)) return Usage();
//   if (args.Failed()) return Usage();
class ToolArgs {
public:
    ToolArgs(int argc, char** argv, std::string& data, std::string& program)
        : argc_(argc), argv_(argv), data_(data), program_(program)
    {}

    // The next argument that is not a folder option; false at the end, and
    // when -d or -p lacks its value (Failed() then says so).
    bool Next(std::string& arg)
    {
        while (++i_ < argc_) {
            arg = argv_[i_];
            if (arg != "-d" && arg != "-p")
                return true;
            if (!Value(arg == "-d" ? data_ : program_)) {
                failed_ = true;
                return false;
            }
        }
        return false;
    }

    // The argument after the current one, as the current option's value;
    // false when there is none.
    bool Value(std::string& into)
    {
        if (i_ + 1 >= argc_)
            return false;
        into = argv_[++i_];
        return true;
    }

    bool Failed() const { return failed_; }

private:
    int argc_;
    char** argv_;
    std::string& data_;
    std::string& program_;
    int i_ = 0;
    bool failed_ = false;
};
