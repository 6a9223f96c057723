#include "frame/text_lists.h"

#include <mutex>

#include "platform/fs.h"

namespace {

std::mutex& TextListMutex()
{
    static std::mutex m;
    return m;
}

std::vector<std::string>& TextList()
{
    static std::vector<std::string> lines;
    return lines;
}

} // namespace

std::vector<std::string> SharedTextLines()
{
    std::lock_guard lock(TextListMutex());
    return TextList();
}

void SetSharedTextLines(std::vector<std::string> lines)
{
    std::lock_guard lock(TextListMutex());
    TextList() = std::move(lines);
}

int LoadTextList(const std::string& fileName)
{
    std::string text;
    const int r = ReadWholeFile(fileName, text);
    if (r != 0)
        return r;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text, start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text, start);
    SetSharedTextLines(std::move(lines));
    return 0;
}

int SaveTextList(const std::vector<std::string>& lines, const std::string& fileName)
{
    std::string text;
    for (const std::string& l : lines) {
        text += l;
        text += "\r\n";
    }
    return WriteFileAtomic(fileName, text);
}
