#include "lists/list_entry_points.h"

#include "frame/entry_points.h"
#include "lists/toolkit/list_window.h"

namespace {

constexpr LinkKind kDrugRecordLink = LinkKind::Drug;

} // namespace

void AddListEntryPoints(MainEntryPoints& calls)
{
    calls.refreshListMarks = [] {
        for (TVyb* w : ListWindows())
            if (w->LinkKinds[1] == kDrugRecordLink && !w->Closing())
                w->SendAction(ActionCode::RefillInPlace);
    };
    calls.dropRowHints = [] {
        for (TVyb* w : ListWindows())
            if (!w->Closing())
                w->ShowRowHint(0);
    };
}
