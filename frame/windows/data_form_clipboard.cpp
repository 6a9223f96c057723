#include "frame/windows/data_form.h"

#include <algorithm>

#include "frame/windows/data_form_private.h"
#include "platform/cp1250.h"
#include "platform/gui/clipboard.h"

using data_form_detail::AssertMainThread;

size_t ClipCursor = 0;
uint16_t ClipLength = 0;

namespace {

struct ClipState {
    std::vector<char> block;
    size_t reserve = 0;
};

ClipState& Clip()
{
    static ClipState state;
    return state;
}

bool ClipAppend(std::string_view text)
{
    ClipState& c = Clip();
    if (c.block.empty())
        return false;
    const size_t room = kClipBlockSize - std::min(c.reserve, kClipBlockSize);
    // The text and its terminating zero must fit in what is left.
    if (static_cast<size_t>(ClipLength) + text.size() + 1 > room)
        return false;
    std::copy(text.begin(), text.end(), c.block.begin() + static_cast<ptrdiff_t>(ClipCursor));
    c.block[ClipCursor + text.size()] = '\0';
    ClipCursor += text.size();
    ClipLength = static_cast<uint16_t>(ClipLength + text.size());
    return true;
}

} // namespace

void ClipStart(size_t reserve)
{
    ClipState& c = Clip();
    c.block.assign(kClipBlockSize, '\0');
    c.reserve = reserve;
    ClipCursor = 0;
    ClipLength = 0;
}

void ClipReleaseReserve()
{
    Clip().reserve = 0;
}

std::string_view ClipBytes()
{
    const ClipState& c = Clip();
    if (c.block.empty())
        return {};
    return std::string_view(c.block.data(), ClipLength);
}

void ClipFree()
{
    ClipState& c = Clip();
    c.block.clear();
    c.block.shrink_to_fit();
    c.reserve = 0;
    ClipCursor = 0;
    ClipLength = 0;
}

void ClipHandOver(std::string_view plainText)
{
    AssertMainThread("ClipHandOver");
    SetClipboardRtfAndText(ClipBytes(), Cp1250ToQString(plainText));
    ClipFree();
}

bool TDataForm::ClipPCopy(std::string_view text)
{
    // A short string holds at most 254 characters here.
    if (text.size() > 254)
        text = text.substr(0, 254);
    return ClipAppend(text);
}

bool TDataForm::ClipCopy(std::string_view text)
{
    const size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    return ClipAppend(text);
}
