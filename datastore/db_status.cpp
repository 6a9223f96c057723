#include "datastore/db_status.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/ascii.h"

thread_local int32_t DbStatus = 0;

// ---------------------------------------------------------------------------
// File identity

TFileId::TFileId(std::string_view name)
{
    const size_t n = std::min<size_t>(name.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        b[i] = AsciiLowerChar(name[i]);
}

bool FileIdDiffers(const TFileId& a, const TFileId& b)
{
    return a.b != b.b;
}

std::string FileIdToStr(const TFileId& id)
{
    size_t n = id.b.size();
    while (n > 0 && id.b[n - 1] == 0)
        --n;
    return std::string(id.b.data(), n);
}

// ---------------------------------------------------------------------------
// Error hook

std::atomic<TDbErrorHook> DbErrorHook{&DefaultDbErrorHook};
thread_local TDbErrorHook ThreadDbErrorHook = nullptr;
std::atomic<TDbFatalPresenter> DbFatalPresenter{nullptr};

void CallDbErrorHook(const TFileId& id, int32_t position, uint16_t code)
{
    TDbErrorHook hook = ThreadDbErrorHook ? ThreadDbErrorHook : DbErrorHook.load();
    if (hook)
        hook(id, position, code);
}

static void AppendInt(std::string& s, long long v)
{
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, end);
}

std::string DbErrorText(const TFileId& id, int32_t status, int32_t position, uint16_t code)
{
    std::string s = "\"Error in DB ";
    AppendInt(s, status);
    s += " (loc.";
    AppendInt(s, code);
    s += ") File ";
    s += FileIdToStr(id);
    s += "  Record ";
    AppendInt(s, position);
    s += '"';
    return s;
}

void DefaultDbErrorHook(const TFileId& id, int32_t position, uint16_t code)
{
    const std::string text = DbErrorText(id, DbStatus, position, code);
    if (TDbFatalPresenter show = DbFatalPresenter.load()) {
        show("Program aborted", text);
    } else {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // At once: other threads may still be running, so no static destructors.
    std::_Exit(3);
}
