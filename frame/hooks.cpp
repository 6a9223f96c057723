#include "frame/hooks.h"

#include <mutex>

namespace {

std::mutex& TableMutex()
{
    static std::mutex m;
    return m;
}

ViewerServices& Table()
{
    static ViewerServices t;
    return t;
}

template <class F>
F Hook(F ViewerServices::*member)
{
    std::lock_guard lock(TableMutex());
    return Table().*member;
}

} // namespace

ViewerServices SetViewerServices(ViewerServices services)
{
    std::lock_guard lock(TableMutex());
    ViewerServices old = std::move(Table());
    Table() = std::move(services);
    return old;
}

bool HasBatchDuplicityCheck()
{
    return static_cast<bool>(Hook(&ViewerServices::runBatchDuplicityCheck));
}

std::optional<BatchDuplicityResult> RunBatchDuplicityCheck(const BatchDuplicityRequest& request)
{
    auto f = Hook(&ViewerServices::runBatchDuplicityCheck);
    if (!f)
        return std::nullopt;
    return f(request);
}

void OpenRequestedItem(const std::string& query)
{
    if (auto f = Hook(&ViewerServices::openRequestedItem))
        f(query);
}

uint16_t RequestCommandCode(uint16_t kind, const std::string& query)
{
    auto f = Hook(&ViewerServices::requestCommandCode);
    return f ? f(kind, query) : 0;
}

void ShowMaximalDoses()
{
    if (auto f = Hook(&ViewerServices::showMaximalDoses))
        f();
}

void StartMaximJoin()
{
    if (auto f = Hook(&ViewerServices::startMaximJoin))
        f();
}
