#include "maintenance/folder_log.h"

#include "platform/file_saver.h"
#include "platform/fs.h"

FolderLog::FolderLog() : ops_(&RealFileSystem())
{}

FolderLog::FolderLog(FileSystemOps& ops) : ops_(&ops)
{}

int FolderLog::Create(const std::string& path)
{
    path_ = path;
    text_.clear();
    open_ = false;
    const int r = Save();
    open_ = r == 0;
    return r;
}

int FolderLog::Open(const std::string& path)
{
    path_ = path;
    text_.clear();
    open_ = false;
    if (FileExists(path)) {
        const int r = ReadWholeFile(path, text_);
        if (r != 0)
            return r;
    }
    const int r = Save();
    open_ = r == 0;
    return r;
}

int FolderLog::Line(std::string_view text)
{
    return Append(std::string(text) + "\r\n");
}

int FolderLog::Append(std::string_view text)
{
    if (!open_)
        return IoResult::AccessDenied;
    text_.append(text);
    return Save();
}

void FolderLog::Close()
{
    open_ = false;
}

int FolderLog::Delete()
{
    open_ = false;
    return path_.empty() ? 0 : ops_->Remove(path_);
}

int FolderLog::Save()
{
    FileSaver saver(path_, *ops_, SaveMode{.makeFolders = false, .umaskMode = true});
    saver.Write(text_);
    saver.Commit();
    return saver.IoError();
}

InstallerLogHandle& InstallerLog()
{
    static InstallerLogHandle* h = new InstallerLogHandle; // workers may write to the end
    return *h;
}
