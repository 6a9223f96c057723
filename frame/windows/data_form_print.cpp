#include "frame/windows/data_form.h"

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/report_hook.h"
#include "frame/windows/data_form_private.h"
#include "frame/windows/style.h"
#include "platform/cp1250.h"
#include "platform/gui/print_job.h"

using data_form_detail::AssertMainThread;

int32_t PrintY = 0;
int32_t PrintLineHeight = 0;

namespace {

std::unique_ptr<PrintJob>& JobSlot()
{
    static std::unique_ptr<PrintJob> job;
    return job;
}

int& PrintBatchDepth()
{
    static int depth = 0;
    return depth;
}

} // namespace

PrintJob& CurrentPrintJob()
{
    std::unique_ptr<PrintJob>& job = JobSlot();
    if (!job)
        job = std::make_unique<PrinterPrintJob>();
    return *job;
}

std::unique_ptr<PrintJob> SetPrintJob(std::unique_ptr<PrintJob> job)
{
    std::unique_ptr<PrintJob>& slot = JobSlot();
    if (slot)
        slot->End();
    std::swap(slot, job);
    return job;
}

void EndPrintJob()
{
    std::unique_ptr<PrintJob>& job = JobSlot();
    if (job)
        job->End();
}

void EndPrintJobUnlessKept()
{
    const bool keep =
        PrintBatchDepth() > 0 || Config().Read([](const ConfigValues& v) { return v.PrintSavingOption; });
    if (!keep)
        EndPrintJob();
}

bool PrinterSetup(QWidget* parent)
{
    EndPrintJob();
    return CurrentPrintJob().Setup(parent);
}

ScopedPrintBatch::ScopedPrintBatch()
{
    ++PrintBatchDepth();
}

ScopedPrintBatch::~ScopedPrintBatch()
{
    --PrintBatchDepth();
}

void TDataForm::PrintHeader(const std::string& title)
{
    AssertMainThread("Tisk");
    PrintJob& job = CurrentPrintJob();
    job.SetTitle(KamToQString(LookupText(UiTexts, "Hlasky", "TiskJob")));
    Canvas& c = job.Surface();
    const ConfigFont printFont = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
    CanvasFont font = CanvasFontOfSetting(printFont);
    c.SetFont(font);
    c.SetBrushStyle(BrushStyle::Clear);
    PrintLineHeight = c.TextHeight("0");

    if (job.IsOpen()) {
        if (PrintY + 4 * PrintLineHeight < job.PageHeight()) {
            c.SetPen(0, 3);
            PrintY += PrintLineHeight / 2;
            c.MoveTo(0, PrintY);
            c.LineTo(job.PageWidth(), PrintY);
            PrintY += PrintLineHeight + PrintLineHeight / 3;
        } else {
            job.NewPage();
            PrintY = 0;
        }
    } else {
        std::string reason;
        if (!job.Begin(reason))
            throw PrintJobError(reason);
        PrintY = 0;
    }
    c.SetBold(true);
    c.TextOut(0, PrintY, KamToWin(title));
    c.SetBold(font.bold);
    PrintY += PrintLineHeight + PrintLineHeight / 2;
}

void TDataForm::Tisk()
{
    PrintHeader(Title + Subtitle);
}

bool PrintDataWindow(TDataForm* form)
{
    AssertMainThread("PrintDataWindow");
    if (form == nullptr || form->IsEmpty())
        return false;
    try {
        form->Tisk();
    } catch (const PrintJobError& e) {
        EndPrintJob();
        ReportError(LookupText(UiTexts, "Chyby", "NoPrint") + QStringToKam(QString::fromUtf8(e.what())));
        return false;
    } catch (...) {
        EndPrintJob(); // what was printed so far still comes out
        throw;
    }
    EndPrintJobUnlessKept();
    return true;
}
