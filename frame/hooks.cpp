#include "frame/hooks.h"

#include "platform/guarded_value.h"

namespace {

HookTable<ViewerServices>& Hooks()
{
    static HookTable<ViewerServices> t;
    return t;
}

} // namespace

ViewerServices SetViewerServices(ViewerServices services)
{
    return Hooks().Set(std::move(services));
}

bool HasBatchDuplicityCheck()
{
    return Hooks().Has(&ViewerServices::runBatchDuplicityCheck);
}

bool HasOpenRequestedItem()
{
    return Hooks().Has(&ViewerServices::openRequestedItem);
}

std::optional<BatchDuplicityResult> RunBatchDuplicityCheck(const BatchDuplicityRequest& request)
{
    auto f = Hooks().Function(&ViewerServices::runBatchDuplicityCheck);
    if (!f)
        return std::nullopt;
    return f(request);
}

void OpenRequestedItem(const std::string& query)
{
    Hooks().Call(&ViewerServices::openRequestedItem, query);
}

uint16_t RequestCommandCode(uint16_t kind, const std::string& query)
{
    return Hooks().Call(&ViewerServices::requestCommandCode, kind, query);
}

void ShowMaximalDoses()
{
    Hooks().Call(&ViewerServices::showMaximalDoses);
}

void StartMaximJoin()
{
    Hooks().Call(&ViewerServices::startMaximJoin);
}

bool HasShowMaximalDoses()
{
    return static_cast<bool>(Hooks().Function(&ViewerServices::showMaximalDoses));
}

bool HasStartMaximJoin()
{
    return static_cast<bool>(Hooks().Function(&ViewerServices::startMaximJoin));
}

RecordViewerWindow* MakeRecordViewer()
{
    auto f = Hooks().Function(&ViewerServices::makeRecordViewer);
    return f ? f() : nullptr;
}

NotesViewerWindow* MakeNotesViewer()
{
    auto f = Hooks().Function(&ViewerServices::makeNotesViewer);
    return f ? f() : nullptr;
}
