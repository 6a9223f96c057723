#include "frame/hooks.h"

#include "platform/guarded_value.h"

namespace {

GuardedValue<ViewerServices>& Table()
{
    static GuardedValue<ViewerServices> t;
    return t;
}

template <class F>
F Hook(F ViewerServices::*member)
{
    return Table().Member(member);
}

} // namespace

ViewerServices SetViewerServices(ViewerServices services)
{
    return Table().Exchange(std::move(services));
}

bool HasBatchDuplicityCheck()
{
    return static_cast<bool>(Hook(&ViewerServices::runBatchDuplicityCheck));
}

bool HasOpenRequestedItem()
{
    return static_cast<bool>(Hook(&ViewerServices::openRequestedItem));
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

RecordViewer* CreateRecordViewer()
{
    auto f = Hook(&ViewerServices::createRecordViewer);
    return f ? f() : nullptr;
}
