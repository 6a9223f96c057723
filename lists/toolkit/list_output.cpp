// The list window's output: print, export to a file and copy to the
// clipboard.  Each runs the Fetch callback over the marked range, or from the
// typed prefix to the end of the list, through the scratch row Rows[0], so
// the shown rows stay as they are; the grid turns every row into its printed
// lines, its RTF row or its text line.

#include <QCoreApplication>
#include <QKeyEvent>

#include <limits>

#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/windows/style.h"
#include "lists/toolkit/escape_watch.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "platform/gui/canvas.h"
#include "platform/gui/print_job.h"

namespace {

ConfigFont ExportFont()
{
    return Config().Read([](const ConfigValues& v) { return v.PrintFont; });
}

// The width of "0" in the export font, the unit of the RTF table's cells.
int ExportCharWidth(const ConfigFont& font)
{
    ImageCanvas probe(1, 1);
    probe.SetFont(CanvasFontOfSetting(font));
    return probe.TextWidth("0");
}

} // namespace

void TVyb::RunOutput(const char* statCode, const std::function<bool(std::string_view)>& line)
{
    StatCount(StatCodeOfText(statCode));
    // "e" and the first two letters of the window's code.
    StatCount(static_cast<uint16_t>(0x9400 | ((Kind & 0x7FE0) >> 5)));

    // The columns shown now are the ones written.
    Tb->Layout().CollectExportColumns();

    const uint8_t keptRowCount = Rec.RowCount;
    const TVybRow keptFirst = Rec.Rows[1];
    const int32_t keptTop = Rec.TopPos;
    // With no cached rows the callbacks' last row is Rows[0], through which
    // the run passes.
    Rec.RowCount = 0;
    int32_t end = std::numeric_limits<int32_t>::max();
    if (MarkFirst >= 0) {
        Rec.FetchMode = FetchModeCode::ReadFirstShown;
        Rec.Rows[1] = TVybRow{};
        Rec.Rows[1].Pos = MarkFirst;
        Rec.Rows[1].Aux = 0;
        end = MarkLast;
    } else {
        Rec.FetchMode = FetchModeCode::Seek;
    }
    Rec.Command = 1; // an output run: the callbacks may test it

    if (line(Tb->Header)) {
        TVybRow row;
        while (FetchRow(row) && row.Pos <= end) {
            Rec.Rows[0] = row;
            Rec.FetchMode = FetchModeCode::After;
            if (!line(row.Text.View()))
                break;
        }
    }

    Rec.Command = 0;
    Rec.RowCount = keptRowCount;
    Rec.Rows[1] = keptFirst;
    Rec.TopPos = keptTop;
    Tb->Paint();
}

// ------------------------------------------------------------------ Print

void TVyb::Tisk()
{
    if (Busy)
        return;
    Busy = true;
    struct BusyEnd {
        TVyb* w;
        ~BusyEnd() { w->EndBusy(); }
    } busyEnd{this};

    TDataForm::Tisk();
    PrintJob& job = CurrentPrintJob();
    Canvas& c = job.Surface();
    int h = PrintLineHeight + PrintLineHeight / 4;
    const int w = c.TextWidth("P");
    Tb->PrintLayout(job.PageWidth(), h, w);
    if (TwoLineRows)
        h *= 2;

    EscapeHeldWatch escape;
    const std::string header = Tb->Header;
    bool headerLine = true;
    RunOutput("oCP", [&](std::string_view text) {
        if (headerLine) {
            headerLine = false;
            Tb->PrintRow(c, header, PrintY);
            PrintY += w / 3;
            return true;
        }
        if (PrintY + h >= job.PageHeight()) {
            job.NewPage();
            PrintY = 0;
            Tb->PrintRow(c, header, PrintY);
            PrintY += w / 3;
        }
        Tb->PrintRow(c, text, PrintY);
        PrintY += w / 3;
        c.SetBold(false);
        c.SetItalic(false);

        QCoreApplication::processEvents();
        // Another window's print may have ended the shared job meanwhile.
        if (!job.IsOpen())
            return false;
        if (escape.Held()) {
            escape.Forget();
            if (AskYesNoCancel(LookupText(UiTexts, "Chyby", "PrnCanc")) == 6) {
                c.SetItalic(true);
                c.TextOut(0, PrintY, KamToWin(LookupText(UiTexts, "Chyby", "PrnIntr")));
                c.SetItalic(false);
                PrintY += PrintLineHeight + PrintLineHeight / 2;
                return false;
            }
        }
        return true;
    });
    EndPrintJobUnlessKept();
}

void TVyb::EndBusy()
{
    Busy = false;
    // What arrived during the run (keys, clicks, a close, the master's new
    // value) acts now, in its order.
    if (callbackDepth_ == 0 && actionDepth_ == 0)
        DrainPending();
}

// ------------------------------------------------------------------ Export

void TVyb::Exportuj()
{
    if (Busy)
        return;
    TDataForm::Exportuj();
    if (!ExportFile.IsOpen())
        return;
    const uint16_t format = ExportFormat;
    std::string out;
    if (format == ExportFormatCode::Rtf) {
        Tb->RtfTableHead(out, ExportCharWidth(ExportFont()));
        out += "\\b";
        ExportFile.Write(out);
    }
    bool headerLine = true;
    RunOutput("oCF", [&](std::string_view text) {
        out.clear();
        if (format == ExportFormatCode::Rtf) {
            Tb->RtfRow(out, text);
            if (headerLine)
                out += "\\b0";
        } else {
            Tb->TextRow(out, text, format == ExportFormatCode::Text ? 1 : 2);
        }
        headerLine = false;
        // Once a write failed the rest is not worth fetching.
        return ExportFile.Write(out);
    });
    if (format == ExportFormatCode::Rtf)
        ExportFile.Write(kRtfTail);
    ExportFile.Close();
}

// --------------------------------------------------------------- Clipboard

void TVyb::Schrankuj()
{
    if (Busy)
        return;
    const ConfigFont font = ExportFont();
    // The closing text always fits: it has its reserve at the block's end.
    ClipStart(kRtfTail.size());
    try {
        std::string rtf = RtfHead(font);
        Tb->RtfTableHead(rtf, ExportCharWidth(font));
        rtf += "\\b";
        std::string plain;
        if (ClipCopy(rtf)) {
            std::string text;
            bool headerLine = true;
            RunOutput("oCC", [&](std::string_view line) {
                rtf.clear();
                text.clear();
                Tb->RtfRow(rtf, line);
                if (headerLine)
                    rtf += "\\b0";
                headerLine = false;
                // A row joins the plain text only when its RTF row fit, so
                // both end at the same row.
                if (!ClipCopy(rtf))
                    return false;
                Tb->TextRow(text, line, 3);
                plain += text;
                return true;
            });
        }
        ClipReleaseReserve();
        ClipCopy(kRtfTail);
        ClipHandOver(plain);
    } catch (...) {
        ClipFree();
        throw;
    }
}
