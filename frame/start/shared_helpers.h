#pragma once
// Help and the folders a run hands on: the data-folder option of launched
// copies, the help request, the temporary folder.

#include <string>
#include <string_view>
#include <vector>

#include "frame/start/command_line.h"

// " /d=" + the data folder when it differs from the program folder, else
// empty (the text form, for messages and logs).
std::string DataFolderOption();
// The same as launch arguments: {"/d=" + data folder} or none.
std::vector<std::string> DataFolderArguments();
// Offers "|q=help||1=" + topic + "|" to the running copies; when none takes
// it, starts this program as a help viewer on the topic.  True when a copy
// took it or the launch started.
bool RequestHelp(std::string_view topic);

// The temporary folder with a trailing "/": TEMP, TMP, TMPDIR, then "/tmp",
// skipping a variable that is unset or names a folder that cannot be created.
// Computed once per process.
std::string TempFolder();
// The same, uncached, for a given environment.
std::string TempFolderFrom(const EnvLookup& env);
