#pragma once
// The folder updates download into: the temporary folder + "qevw-" + the
// user's id + "/", mode 0700 and owned by this user.  In a temporary folder
// that every user shares, another user could otherwise plant a package
// description or a package under the name the program fetches next.
//
// Threads: any.

#include <string>

// 0 with `folder` set ("/" ended), else the error of MakePrivateFolder
// (platform/fs.h) with `folder` set to the path it tried.
int PrivateDownloadFolder(std::string& folder);
// Tests put their own folder in force (empty: the temporary folder again).
void SetDownloadFolderOverride(std::string folder);
